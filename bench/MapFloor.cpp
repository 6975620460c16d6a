// The floor of tessaro-cli map for a whole-process comparison: reads the project's four documents with pugixml
// and walks their rows, nothing else.
//   map_floor PROJECT_DIR
#include <cstdio>
#include <pugixml.hpp>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: map_floor PROJECT_DIR\n");
        return 2;
    }
    std::size_t rows = 0;
    for (const char* name : {"FrameJ1939.xml", "DefFrameJ1939.xml", "Group.xml", "pargen.xml"}) {
        pugi::xml_document document;
        if (!document.load_file((std::string(argv[1]) + "/" + name).c_str())) return 1;
        for (pugi::xml_node row : document.document_element().children()) rows += row ? 1 : 0;
    }
    std::printf("%zu rows\n", rows);
    return 0;
}
