#include "core/desk/RegisterValues.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "core/documents/AtomicFile.h"
#include "core/documents/Errors.h"
#include "core/documents/NumericText.h"
#include "core/exchange/CsvText.h"

namespace tessaro::desk {

namespace {

constexpr std::size_t kColumns = std::size(kRegisterColumns);
// RTU: slave, function, address, count, CRC; the answer: slave, function, byte count, the values, CRC.
constexpr std::size_t kRequestCharacters = 8;
constexpr std::size_t kExceptionCharacters = 5;

std::string columnList() {
    std::string list;
    for (const std::string_view name : kRegisterColumns) list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
    return lower;
}

struct Cell {
    std::string_view text;
    std::size_t line;
    std::size_t column;
};

std::int32_t numberIn(const Cell& cell, std::int32_t least, std::int32_t most, std::string_view what) {
    const std::optional<std::int32_t> number = tryToInteger(cell.text);
    if (!number || *number < least || *number > most)
        throw ExchangeError(cell.line, cell.column,
                            "'" + std::string(cell.text) + "' is no " + std::string(what) + ": " +
                                std::to_string(least) + " to " + std::to_string(most));
    return *number;
}

RegisterKind kindIn(const Cell& cell) {
    const std::string word = lowered(cell.text);
    if (word == "holding") return RegisterKind::holding;
    if (word == "input") return RegisterKind::input;
    if (const std::optional<std::int32_t> typeReg = tryToInteger(cell.text))
        if (const std::optional<RegisterKind> kind = registerKindOf(std::uint8_t(*typeReg)); kind && *typeReg < 256)
            return *kind;
    throw ExchangeError(cell.line, cell.column,
                        "'" + std::string(cell.text) + "' is no register kind: holding or input (or 3 or 4)");
}

std::string keyText(const RegisterKey& key) {
    return "slave " + std::to_string(key.slave) + " " + std::string(registerKindWord(key.kind)) + " " +
           std::to_string(key.address);
}

}  // namespace

RegisterValues readRegisterValues(std::string_view text) {
    RegisterValues table;
    std::optional<std::array<std::size_t, kColumns>> columns;  // from 1
    std::map<RegisterKey, std::size_t> lineOf;
    readCsvRows(text, [&](const GridRow& row) {
        if (!columns) {
            columns.emplace();
            columns->fill(0);
            for (const GridCell& cell : row.cells) {
                const std::string name = lowered(cell.text);
                const auto known = std::find(std::begin(kRegisterColumns), std::end(kRegisterColumns), name);
                if (known == std::end(kRegisterColumns))
                    throw ExchangeError(
                        cell.line, cell.column,
                        "unknown column '" + cell.text + "': the values have the columns " + columnList());
                std::size_t& at = (*columns)[std::size_t(known - std::begin(kRegisterColumns))];
                if (at != 0)
                    throw ExchangeError(cell.line, cell.column, "the column '" + cell.text + "' is given twice");
                at = cell.column;
            }
            for (std::size_t c = 0; c < kColumns; ++c)
                if ((*columns)[c] == 0)
                    throw ExchangeError(row.line, row.cells.size() + 1,
                                        "the column '" + std::string(kRegisterColumns[c]) +
                                            "' is missing: the values have the columns " + columnList());
            return;
        }
        bool any = false;
        for (const GridCell& cell : row.cells) {
            if (cell.text.empty()) continue;
            if (cell.column > kColumns)
                throw ExchangeError(cell.line, cell.column,
                                    "a cell beyond the last column of the header (" + columnList() + ")");
            any = true;
        }
        if (!any) return;
        const auto cell = [&](std::size_t c) {
            const std::size_t column = (*columns)[c];
            if (column <= row.cells.size()) {
                const GridCell& found = row.cells[column - 1];
                return Cell{found.text, found.line, found.column};
            }
            return Cell{{}, row.line, column};
        };
        RegisterKey key;
        key.slave = std::uint8_t(numberIn(cell(0), 0, 255, "slave address"));
        key.kind = kindIn(cell(1));
        key.address = std::uint16_t(numberIn(cell(2), 0, 65535, "register"));
        const std::int32_t value = numberIn(cell(3), -32768, 65535, "register value");
        const auto [earlier, added] = lineOf.emplace(key, row.line);
        if (!added)
            throw ExchangeError(
                cell(2).line, cell(2).column,
                keyText(key) + " is given twice (first at line " + std::to_string(earlier->second) + ")");
        table.values[key] = std::uint16_t(value);
        table.slaves.insert(key.slave);
    });
    if (!columns) throw ExchangeError(1, 1, "the file holds no header line (" + columnList() + ")");
    return table;
}

RegisterValues loadRegisterValues(const std::string& path) {
    const std::string text = readFile(path);
    try {
        return readRegisterValues(text);
    } catch (const ExchangeError& problem) {
        throw ValuesFileError(problem.placed(path));
    }
}

DeskTime lineTime(std::size_t characters, int baudRate) {
    return std::chrono::nanoseconds(std::int64_t(characters) * 11 * 1'000'000'000 / std::max(baudRate, 1));
}

RegisterValuesMaster::RegisterValuesMaster(const RegisterValues& values, Clock& clock, DeskTime timeout, int baudRate)
    : m_values(values), m_clock(clock), m_timeout(timeout), m_baudRate(baudRate) {}

void RegisterValuesMaster::wait(DeskTime time) {
    const DeskTime until = m_clock.now() + time;
    while (!m_interrupted.load() && m_clock.now() < until)
        m_clock.waitUntil(until, [this] { return m_interrupted.load(); });
}

ModbusReply RegisterValuesMaster::read(const ModbusRequest& request) {
    if (!m_values.slaves.contains(request.slave)) {
        wait(lineTime(kRequestCharacters, m_baudRate) + m_timeout);
        return ModbusReply::timeOut();
    }
    std::vector<std::uint16_t> values;
    for (std::size_t r = 0; r < request.count; ++r) {
        const auto found = m_values.values.find({request.slave, request.kind, std::uint16_t(request.first + r)});
        if (found == m_values.values.end()) {
            wait(lineTime(kRequestCharacters + kExceptionCharacters, m_baudRate));
            return ModbusReply::exception(2);
        }
        values.push_back(found->second);
    }
    wait(lineTime(kRequestCharacters + 5 + 2 * std::size_t(request.count), m_baudRate));
    return ModbusReply::answer(std::move(values));
}

void RegisterValuesMaster::interrupt() {
    m_interrupted.store(true);
    m_clock.notify();
}

}  // namespace tessaro::desk
