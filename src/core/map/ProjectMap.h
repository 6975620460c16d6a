#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/j1939/Pgn.h"
#include "core/j1939/WellKnownPgns.h"
#include "core/signals/FrameSignals.h"

namespace tessaro {

// What the gateway puts into each J1939 frame and what it polls from each Modbus slave, read from the stored
// documents as the image builder reads them: the values are those the image holds.

enum class RegisterHalf : std::uint8_t { high, low };

// One register half that feeds a frame byte.
struct RegisterHalfSource {
    std::int32_t registerNumber = 0;  // the definition's index + the register's position (from 0)
    std::uint32_t definitionRow = 0;  // in DefFrameJ1939.xml, from 1
    std::uint8_t slave = 0;           // Device_ID
    std::uint8_t typeReg = 0;         // a RegisterKind; any other value as stored
    std::uint8_t position = 0;        // the register's place in its definition, 1 (R1) to 8 (R8)
    RegisterHalf half = RegisterHalf::high;
};

struct FrameByteMap {
    int byte = 0;  // 1 (B1) to 8 (B8)
    std::vector<RegisterHalfSource> sources;

    bool fedTwice() const { return sources.size() > 1; }
};

struct FrameMap {
    int frame = 0;  // 1-based position in FrameJ1939.xml
    std::uint8_t priority = 0;
    std::uint8_t dataPage = 0;
    std::uint16_t pgn = 0;
    std::uint8_t group = 0;  // 0 for "On Request"
    bool erase = false;
    // The group's cyclic time; nothing for "On Request" and for a group that Group.xml does not hold.
    std::optional<std::uint16_t> cycleMs;
    const WellKnownPgn* wellKnown = nullptr;  // nullptr for a PGN outside the table
    std::array<FrameByteMap, 8> bytes;
    // The signals of the PGN at the bytes, when the project has a signal database.
    FrameSignals signalInfo;

    bool onRequest() const { return group == 0; }
    Pgn pgnValue() const { return framePgn(dataPage, pgn); }
};

// A frame byte that a polled register feeds.
struct RegisterFeed {
    std::int32_t registerNumber = 0;
    std::int32_t frame = 0;
    std::uint8_t byte = 0;  // 1 to 8
    RegisterHalf half = RegisterHalf::high;
};

struct RegisterRange {
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// The registers of one kind that the gateway polls from one slave.
struct SlavePolling {
    std::uint8_t slave = 0;
    std::uint8_t typeReg = 0;
    std::vector<RegisterRange> ranges;  // ascending, contiguous registers merged
    std::vector<RegisterFeed> feeds;    // by register, then in document order; none when left out
};

enum class MapSeverity { warning };

struct MapFinding {
    MapSeverity severity = MapSeverity::warning;
    std::string message;
    int frame = 0;  // the frame it is about, 1-based; 0 for none
};

struct ProjectMap {
    std::vector<FrameMap> frames;
    std::vector<SlavePolling> slaves;  // by slave, holding before input
    std::vector<MapFinding> findings;
    bool withSignals = false;  // the frames were annotated from a signal database
};

// Reads the project folder's documents. Throws tessaro::Error, as the builder does, when a document cannot be
// read or a value does not convert; what the builder only drops or cuts is a finding.
// The text and the CSV print no register's feeds: without them the largest project's map is read sooner.
enum class MapFeeds { listed, leftOut };
ProjectMap buildProjectMap(const std::string& projectFolder, MapFeeds feeds = MapFeeds::listed);

}  // namespace tessaro
