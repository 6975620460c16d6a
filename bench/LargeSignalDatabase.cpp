#include "LargeSignalDatabase.h"

#include <cstdint>
#include <set>

#include "core/j1939/Pgn.h"

namespace tessaro::bench {

namespace {

// The data page and PGN of frame i of the largest project, as LargeProject.cpp writes them.
Pgn largestProjectFrame(int i) {
    const int pgn = i % 3 == 0 ? std::stoi("FE" + std::to_string(10 + i % 90), nullptr, 16) : 61440 + i;
    return framePgn(i % 2, pgn);
}

}  // namespace

std::string largestProjectDatabase(int messages) {
    std::string text =
        "VERSION \"\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\tSIG_VALTYPE_\n\tSG_MUL_VAL_\n\nBS_:\n\n"
        "BU_: Engine Gateway Cab\n\n";
    std::string after = "BA_DEF_ SG_ \"SPN\" INT 0 524287;\nBA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n";
    std::set<std::uint32_t> used;
    int other = 0;
    for (int m = 0; m < messages; ++m) {
        Pgn pgn = m < 250 ? largestProjectFrame(m) : Pgn{};
        // Past the frames' PGNs, or where two frames share one: PDU2 groups on data page 0 and 1 not taken yet.
        while (m >= 250 || !used.insert(pgn.number()).second) {
            pgn = Pgn{std::uint8_t(other / 4096 % 2), std::uint8_t(0xF0 + other / 256 % 16), std::uint8_t(other % 256)};
            ++other;
            if (used.insert(pgn.number()).second) break;
        }
        const std::string id = std::to_string(0x80000000u | identifierOf(pgn, 6, std::uint8_t(m % 254)));
        const std::string name = "ParameterGroup" + std::to_string(m);
        const std::string s = std::to_string(m);
        text += "BO_ " + id + " " + name + ": 8 Engine\n";
        text += " SG_ Speed" + s + " : 0|16@1+ (0.125,0) [0|8031.875] \"rpm\" Gateway,Cab\n";
        text += " SG_ Pressure" + s + " : 23|16@0+ (0.5,0) [0|32767.5] \"kPa\" Gateway\n";
        text += " SG_ Mode" + s + " : 32|4@1+ (1,0) [0|15] \"\" Gateway\n";
        text += " SG_ Level" + s + " : 36|12@1- (0.1,-40) [-40|160] \"%\" Gateway\n";
        text += " SG_ Page" + s + " M : 48|2@1+ (1,0) [0|3] \"\" Gateway\n";
        text += " SG_ Total" + s + " m0 : 50|6@1+ (1,0) [0|63] \"\" Gateway\n";
        text += " SG_ Count" + s + " m1 : 50|14@1+ (1,0) [0|16383] \"\" Gateway\n";
        text += " SG_ Flow" + s + " m2 : 56|8@1+ (0.05,0) [0|12.75] \"l/h\" Gateway\n\n";
        after += "CM_ BO_ " + id + " \"Parameter group " + s + " of the engine\";\n";
        after += "CM_ SG_ " + id + " Speed" + s + " \"Speed of parameter group " + s + ",\nlow byte first\";\n";
        after += "BA_ \"GenMsgCycleTime\" BO_ " + id + " 100;\n";
        after += "BA_ \"SPN\" SG_ " + id + " Speed" + s + " " + std::to_string(190 + m) + ";\n";
        after += "BA_ \"SPN\" SG_ " + id + " Mode" + s + " " + std::to_string(100000 + m) + ";\n";
        after += "VAL_ " + id + " Mode" + s + " 0 \"off\" 1 \"on\" 14 \"error\" 15 \"not available\" ;\n";
        after += "SG_MUL_VAL_ " + id + " Flow" + s + " Page" + s + " 2-3;\n";
    }
    return text + after;
}

}  // namespace tessaro::bench
