// The floor of importing definitions: the least a program can do to turn a definitions CSV file into
// DefFrameJ1939.xml. It splits the lines at commas (the file has no quotes), maps the columns by their fixed order and
// writes the rows with pugixml, checking nothing, and replaces the document as safely as the tool does. tessaro-cli
// import definitions is timed against it, whole process against whole process, on the same file:
//   definitions_import_floor PROJECT_DIR FILE
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

int nibble(std::string_view selector) {
    if (selector.size() < 2 || selector[0] != 'B') return 0;
    return std::stoi(std::string(selector.substr(1)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: definitions_import_floor PROJECT_DIR FILE\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();

    pugi::xml_document document;
    pugi::xml_node root = document.append_child("DefFrame");
    std::vector<std::string_view> cells;
    bool header = true;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = end + 1;
        if (header || line.empty()) {
            header = false;
            continue;
        }
        cells.clear();
        for (std::size_t from = 0;;) {
            const std::size_t comma = line.find(',', from);
            cells.push_back(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
            if (comma == std::string_view::npos) break;
            from = comma + 1;
        }
        pugi::xml_node row = root.append_child("row");
        row.append_attribute("NrFrameJ1939").set_value(std::string(cells[0]).c_str());
        row.append_attribute("Device_ID").set_value(std::string(cells[1]).c_str());
        row.append_attribute("Index").set_value(std::string(cells[2]).c_str());
        const int points = std::stoi(std::string(cells[3]));
        row.append_attribute("Num_Reg").set_value(points - 1);
        row.append_attribute("Type_Reg").set_value(cells[4] == "Input Register" ? 4 : 3);
        for (int k = 0; k < 8; ++k) {
            const std::string name = "poscomp" + std::to_string(k);
            const int value = k < points ? nibble(cells[5 + 2 * k]) * 16 + nibble(cells[6 + 2 * k]) : 0;
            row.append_attribute(name.c_str()).set_value(value);
        }
    }
    // The tool never leaves a document half-written, so neither does its floor: a temporary file flushed to disk,
    // renamed over the document, and the folder flushed.
    const std::string path = std::string(argv[1]) + "/DefFrameJ1939.xml";
    const std::string temporary = path + ".floor";
    if (!document.save_file(temporary.c_str(), "", pugi::format_raw | pugi::format_no_declaration)) {
        std::fprintf(stderr, "cannot write %s\n", temporary.c_str());
        return 1;
    }
    const int file = open(temporary.c_str(), O_RDONLY);
    const int folder = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (file < 0 || folder < 0 || fsync(file) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0 ||
        fsync(folder) != 0) {
        std::fprintf(stderr, "cannot replace %s\n", path.c_str());
        return 1;
    }
    close(file);
    close(folder);
    return 0;
}
