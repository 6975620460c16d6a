// The floor of tessaro-cli map and tessaro-cli build for a whole-process comparison: reads the project's four
// documents with pugixml and reads every attribute of every row, its name and its value whole (as any reader of
// them must), nothing else; with --write it then writes a file as large as the image of those rows.
//   documents_floor PROJECT_DIR [--write FILE]
#include <cstdio>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/image/ImageFormat.h"

int main(int argc, char** argv) {
    const bool write = argc == 4 && std::string(argv[2]) == "--write";
    if (argc != 2 && !write) {
        std::fprintf(stderr, "usage: documents_floor PROJECT_DIR [--write FILE]\n");
        return 2;
    }
    const char* names[] = {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"};
    std::size_t rows[4] = {};
    std::size_t attributes = 0;
    unsigned sum = 0;  // of every character read, so that no reading can be left out
    const auto read = [&sum](const char* text) {
        for (; *text; ++text) sum += unsigned(*text);
    };
    for (int d = 0; d < 4; ++d) {
        pugi::xml_document document;
        if (!document.load_file((std::string(argv[1]) + "/" + names[d]).c_str())) return 1;
        for (pugi::xml_node row : document.document_element().children()) {
            ++rows[d];
            for (pugi::xml_attribute attribute : row.attributes()) {
                ++attributes;
                read(attribute.name());
                read(attribute.value());
            }
            // pargen.xml keeps its values as element texts.
            for (pugi::xml_node element : row.children()) read(element.child_value());
        }
    }
    if (write) {
        using namespace tessaro;
        const std::size_t size = kHeaderSize + rows[0] * kFrameEntrySize + rows[1] * kDefinitionEntrySize +
                                 rows[2] * kGroupEntrySize + kGeneralBlockSize;
        const std::vector<char> bytes(size, char(sum));
        std::FILE* file = std::fopen(argv[3], "wb");
        if (!file || std::fwrite(bytes.data(), 1, size, file) != size || std::fclose(file) != 0) return 1;
    }
    std::printf("%zu rows, %zu attributes, %u\n", rows[0] + rows[1] + rows[2] + rows[3], attributes, sum);
    return 0;
}
