#include "core/exchange/DefinitionPairs.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "core/documents/NumericText.h"
#include "core/exchange/CsvText.h"
#include "core/exchange/ExchangeTables.h"

namespace tessaro {

namespace {

// The cells of a row up to its last that holds something: the comma that ends each pair leaves an empty one.
std::size_t usedCells(const GridRow& row) {
    std::size_t used = row.cells.size();
    while (used > 0 && row.cells[used - 1].text.empty()) --used;
    return used;
}

// "no definition", "1 definition", "5 definitions".
std::string amount(std::size_t count) {
    return count == 0   ? std::string("no definition")
           : count == 1 ? std::string("1 definition")
                        : std::to_string(count) + " definitions";
}

std::string newDefaults() {
    return "no Device ID, " + std::string(kNumberOfPointsItems[0]) + " point, " + std::string(kKindItems[0]) +
           ", no frame bytes";
}

// The held definitions of one frame that share an index text, in order, and how many of them pairs took so far.
struct SameIndex {
    std::vector<std::size_t> positions;
    std::size_t taken = 0;
};

}  // namespace

bool isDefinitionPairsText(std::string_view text) {
    // The table's first line is its header, whose second cell names a column; here it is a frame number.
    struct FirstLineRead {};
    bool pairs = true;
    try {
        readCsvRows(text, [&pairs](const GridRow& row) {
            pairs = row.cells.size() >= 2 && tryToInteger(row.cells[1].text).has_value();
            throw FirstLineRead{};
        });
    } catch (const FirstLineRead&) {
    } catch (const ExchangeError&) {
        return false;  // read as the table, which says where the text breaks off
    }
    return pairs;
}

TClIndMB newDefinitionOf(const std::string& index) {
    DefinitionControls controls;
    controls.index = index;
    return packDefinition(controls);
}

PairsReadBack readDefinitionPairs(const RowSource& rows, const FrameDefinitions& held) {
    const std::size_t frameCount = held.frameCount();
    PairsReadBack read;
    read.definitions.resize(frameCount);
    std::vector<std::unordered_map<std::string_view, SameIndex>> byIndex(frameCount);
    std::vector<std::vector<bool>> taken(frameCount);
    for (std::size_t f = 0; f < frameCount; ++f) {
        const std::vector<TClIndMB>& definitions = held.frame(f).definitions;
        for (std::size_t p = 0; p < definitions.size(); ++p) byIndex[f][definitions[p].index].positions.push_back(p);
        taken[f].assign(definitions.size(), false);
    }

    const auto takePair = [&](const GridCell& index, const GridCell& frame) {
        const std::optional<std::int32_t> number = tryToInteger(frame.text);
        if (!number) throw ExchangeError(frame.line, frame.column, notAnIntegerMessage(frame.text));
        if (*number < 1 || std::size_t(*number) > frameCount)
            throw ExchangeError(frame.line, frame.column, noSuchFrameMessage(*number, frameCount));
        const std::size_t f = std::size_t(*number - 1);
        const auto same = byIndex[f].find(index.text);
        if (same != byIndex[f].end() && same->second.taken < same->second.positions.size()) {
            const std::size_t position = same->second.positions[same->second.taken++];
            taken[f][position] = true;
            read.definitions[f].push_back(held.frame(f).definitions[position]);
            ++read.counts.whole;
            return;
        }
        if (const std::optional<std::string> broken = checkDefinitionIndex(index.text))
            throw ExchangeError(index.line, index.column, refusedCellMessage(*broken, index.text));
        read.definitions[f].push_back(newDefinitionOf(index.text));
        read.counts.added.push_back({*number, index.text});
    };

    // The pairs of the line before, as texts: a line that repeats them all and goes on adds only what follows.
    std::vector<std::pair<std::string, std::string>> before, line;
    rows([&](const GridRow& row) {
        const std::size_t used = usedCells(row);
        if (used % 2 == 1) {
            const GridCell& last = row.cells[used - 1];
            throw ExchangeError(last.line, last.column + 1,
                                "the index '" + last.text +
                                    "' has no frame number after it: each line holds pairs INDEX,FRAME, as the "
                                    "Export of Define J1939 writes them");
        }
        line.clear();
        for (std::size_t c = 0; c < used; c += 2) line.emplace_back(row.cells[c].text, row.cells[c + 1].text);
        const bool repeats =
            !before.empty() && line.size() > before.size() && std::equal(before.begin(), before.end(), line.begin());
        for (std::size_t pair = repeats ? before.size() : 0; pair < line.size(); ++pair)
            takePair(row.cells[2 * pair], row.cells[2 * pair + 1]);
        std::swap(before, line);
    });

    for (std::size_t f = 0; f < frameCount; ++f)
        for (std::size_t p = 0; p < taken[f].size(); ++p)
            if (!taken[f][p]) read.counts.unlisted.push_back({std::int32_t(f + 1), held.frame(f).definitions[p].index});
    return read;
}

std::string pairsReadBackMessage(const std::string& fileName, const PairsCounts& counts) {
    std::string text = fileName + " names each definition by its index and frame only: " + amount(counts.whole) +
                       " came back whole from those shown";
    if (!counts.added.empty())
        text += ", and " + amount(counts.added.size()) + (counts.added.size() == 1 ? " is" : " are") + " new (" +
                definitionNames(counts.added) + ") with " + newDefaults();
    text += ".";
    if (!counts.added.empty())
        text += counts.added.size() == 1 ? "\nGive the new definition its Device ID before Update Device."
                                         : "\nGive the new definitions their Device IDs before Update Device.";
    if (!counts.unlisted.empty())
        text += "\nOK drops the " +
                (counts.unlisted.size() == 1 ? std::string("definition") : amount(counts.unlisted.size())) +
                " it does not list (" + definitionNames(counts.unlisted) + "), after asking.";
    return text;
}

std::string pairsReadBackLine(const std::string& path, const PairsCounts& counts) {
    std::string text = path + ": " + amount(counts.whole) + " came back whole";
    if (!counts.added.empty())
        text += ", " + amount(counts.added.size()) + (counts.added.size() == 1 ? " is" : " are") + " new (" +
                definitionNames(counts.added) + ": " + newDefaults() + ")";
    if (!counts.unlisted.empty())
        text += ", " + amount(counts.unlisted.size()) + " not listed " +
                (counts.unlisted.size() == 1 ? "was" : "were") + " dropped (" + definitionNames(counts.unlisted) + ")";
    return text;
}

}  // namespace tessaro
