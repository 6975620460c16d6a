#include "core/map/ProjectMap.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <memory>

#include "core/documents/AtomicFile.h"
#include "core/documents/DocumentNames.h"
#include "core/documents/Paths.h"
#include "core/image/ConfigurationImage.h"
#include "core/image/ImageDecoder.h"

namespace tessaro {

namespace {

std::string framesText(std::size_t count) {
    return plural(count, "frame", "frames");
}

void appendNumber(std::string& text, std::size_t number) {
    char digits[24];
    text.append(digits, std::to_chars(std::begin(digits), std::end(digits), number).ptr);
}

void warn(ProjectMap& map, std::string message, int frame = 0) {
    map.findings.push_back({MapSeverity::warning, std::move(message), frame});
}

std::string definitionPlace(std::uint32_t row) {
    return "row " + std::to_string(row) + " of " + std::string(kDefinitionsFileName);
}

void mapFrames(const DecodedImage& image, ProjectMap& map) {
    map.frames.resize(image.frames.size());
    for (std::size_t i = 0; i < image.frames.size(); ++i) {
        const ImageFrame& stored = image.frames[i];
        FrameMap& frame = map.frames[i];
        frame.frame = int(i + 1);
        frame.priority = stored.priority;
        frame.dataPage = stored.dataPage;
        frame.pgn = stored.pgn;
        frame.group = stored.group;
        frame.erase = stored.erase != 0;
        frame.wellKnown = findWellKnownPgn(frame.pgnValue());
        for (int b = 0; b < 8; ++b) frame.bytes[std::size_t(b)].byte = b + 1;
        if (stored.group == 0) continue;
        if (stored.group <= image.groups.size()) {
            frame.cycleMs = image.groups[stored.group - 1u];
        } else {
            warn(map,
                 "frame " + std::to_string(i + 1) + ": group " + std::to_string(stored.group) +
                     " does not exist (Group.xml holds " + plural(image.groups.size(), "group", "groups") + ")",
                 int(i + 1));
        }
    }
}

// Kept out of the loop over every register half.
[[gnu::noinline]] void warnNoFrameByte(ProjectMap& map, const ImageDefinition& definition, std::uint32_t row,
                                       std::size_t r, RegisterHalf half) {
    const unsigned position = definition.positions[r];
    const unsigned nibble = half == RegisterHalf::high ? position >> 4 : position & 0x0F;
    warn(map,
         definitionPlace(row) + " (frame " + std::to_string(definition.frame) + "): poscomp" + std::to_string(r) + " " +
             std::to_string(position) + " names the nibble " + std::to_string(nibble) + " for the " +
             (half == RegisterHalf::high ? "high" : "low") + " half of register " +
             std::to_string(definition.index + r) + ", which is no frame byte (B1 to B8)",
         int(definition.frame));
}

// The definitions of one slave and kind, in document order.
struct Bucket {
    std::uint8_t slave = 0;
    std::uint8_t typeReg = 0;
    std::vector<std::uint32_t> definitions;  // into the image's definitions
};

void mapDefinitions(const DecodedImage& image, const std::vector<std::uint32_t>& rows, MapFeeds listFeeds,
                    ProjectMap& map) {
    // Every frame byte and every slave's feeds get their room first: the largest project has a hundred thousand
    // register halves.
    std::vector<std::array<std::uint32_t, 8>> halves(map.frames.size());
    // An entry keeps 8 bits of its frame number: beyond 255 frames it can name none.
    const auto namesFrame = [&map](const ImageDefinition& definition) {
        return definition.frame >= 1 && definition.frame <= map.frames.size();
    };
    for (const ImageDefinition& definition : image.definitions) {
        if (!namesFrame(definition)) continue;
        std::array<std::uint32_t, 8>& counts = halves[definition.frame - 1u];
        const std::size_t registers = registersInUse(definition);
        for (std::size_t r = 0; r < registers; ++r) {
            const unsigned high = unsigned(definition.positions[r]) >> 4, low = definition.positions[r] & 0x0Fu;
            if (high >= 1 && high <= 8) ++counts[high - 1];
            if (low >= 1 && low <= 8) ++counts[low - 1];
        }
    }
    for (std::size_t f = 0; f < map.frames.size(); ++f)
        for (std::size_t b = 0; b < 8; ++b) map.frames[f].bytes[b].sources.reserve(halves[f][b]);

    // The bucket of each slave for the two kinds the gateway knows; any other kind is looked for among the buckets.
    std::array<std::int32_t, 512> bucketOf;
    bucketOf.fill(-1);
    std::int32_t otherKind = -1;
    std::vector<Bucket> buckets;
    for (std::uint32_t d = 0; d < image.definitions.size(); ++d) {
        const ImageDefinition& definition = image.definitions[d];
        const std::uint32_t row = rows[d];
        const bool knownKind = definition.typeReg == 3 || definition.typeReg == 4;
        if (!knownKind)
            warn(map,
                 definitionPlace(row) + ": Type_Reg " + std::to_string(definition.typeReg) +
                     " is neither 3 (holding registers) nor 4 (input registers)",
                 namesFrame(definition) ? int(definition.frame) : 0);
        std::int32_t& bucket =
            knownKind ? bucketOf[std::size_t(definition.deviceId) << 1 | (definition.typeReg == 4 ? 1u : 0u)]
                      : otherKind;
        if (!knownKind) {
            otherKind = -1;
            for (std::size_t b = 0; b < buckets.size(); ++b)
                if (buckets[b].slave == definition.deviceId && buckets[b].typeReg == definition.typeReg)
                    otherKind = std::int32_t(b);
        }
        if (bucket < 0) {
            bucket = std::int32_t(buckets.size());
            buckets.push_back({definition.deviceId, definition.typeReg, {}});
        }
        buckets[std::size_t(bucket)].definitions.push_back(d);

        if (definition.index + registersInUse(definition) - 1 > 65535)
            warn(map,
                 definitionPlace(row) + ": its registers " + std::to_string(definition.index) + " to " +
                     std::to_string(definition.index + registersInUse(definition) - 1) +
                     " go past 65535, the last Modbus register",
                 namesFrame(definition) ? int(definition.frame) : 0);
        if (!namesFrame(definition)) {
            warn(map, definitionPlace(row) + ": the image holds its frame number as 0, which names no frame (an " +
                          "entry keeps 8 bits of it)");
            continue;
        }
        FrameMap& frame = map.frames[definition.frame - 1u];
        const std::size_t registers = registersInUse(definition);
        const auto feed = [&](std::size_t r, unsigned nibble, RegisterHalf half) {
            if (nibble == 0) return;
            if (nibble > 8) [[unlikely]] {
                warnNoFrameByte(map, definition, row, r, half);
                return;
            }
            frame.bytes[nibble - 1].sources.push_back({std::int32_t(definition.index + r), row, definition.deviceId,
                                                       definition.typeReg, std::uint8_t(r + 1), half});
        };
        for (std::size_t r = 0; r < registers; ++r) {
            feed(r, unsigned(definition.positions[r]) >> 4, RegisterHalf::high);
            feed(r, definition.positions[r] & 0x0Fu, RegisterHalf::low);
        }
    }

    std::sort(buckets.begin(), buckets.end(), [](const Bucket& a, const Bucket& b) {
        return a.slave != b.slave ? a.slave < b.slave : a.typeReg < b.typeReg;
    });
    map.slaves.reserve(buckets.size());
    for (Bucket& bucket : buckets) {
        std::stable_sort(bucket.definitions.begin(), bucket.definitions.end(), [&](std::uint32_t a, std::uint32_t b) {
            return image.definitions[a].index < image.definitions[b].index;
        });
        SlavePolling& polling = map.slaves.emplace_back();
        polling.slave = bucket.slave;
        polling.typeReg = bucket.typeReg;
        if (listFeeds == MapFeeds::listed) polling.feeds.reserve(16 * bucket.definitions.size());
        bool overlapping = false;
        for (const std::uint32_t d : bucket.definitions) {
            const ImageDefinition& definition = image.definitions[d];
            const std::int32_t first = definition.index;
            const std::int32_t last = first + std::int32_t(registersInUse(definition)) - 1;
            if (!polling.ranges.empty() && first <= polling.ranges.back().last) overlapping = true;
            if (!polling.ranges.empty() && first <= polling.ranges.back().last + 1)
                polling.ranges.back().last = std::max(polling.ranges.back().last, last);
            else
                polling.ranges.push_back({first, last});
            const std::size_t registers =
                listFeeds == MapFeeds::listed && namesFrame(definition) ? registersInUse(definition) : 0;
            for (std::size_t r = 0; r < registers; ++r) {
                const unsigned position = definition.positions[r];
                const unsigned high = position >> 4, low = position & 0x0Fu;
                if (high >= 1 && high <= 8)
                    polling.feeds.push_back(
                        {first + std::int32_t(r), definition.frame, std::uint8_t(high), RegisterHalf::high});
                if (low >= 1 && low <= 8)
                    polling.feeds.push_back(
                        {first + std::int32_t(r), definition.frame, std::uint8_t(low), RegisterHalf::low});
            }
        }
        // Definitions that share registers interleave their feeds.
        if (overlapping)
            std::stable_sort(
                polling.feeds.begin(), polling.feeds.end(),
                [](const RegisterFeed& a, const RegisterFeed& b) { return a.registerNumber < b.registerNumber; });
    }
}

void findBytesFedTwice(ProjectMap& map) {
    for (const FrameMap& frame : map.frames)
        for (const FrameByteMap& byte : frame.bytes)
            if (byte.fedTwice()) {
                // The largest project has two thousand of these: each string is put together in place.
                std::string message = "frame ";
                message.reserve(48);
                appendNumber(message, frame.frame);
                message += ": B";
                appendNumber(message, byte.byte);
                message += " is fed by ";
                appendNumber(message, byte.sources.size());
                message += " register halves";
                warn(map, std::move(message), frame.frame);
            }
}

}  // namespace

ProjectMap buildProjectMap(const std::string& projectFolder, MapFeeds feeds) {
    auto image = std::make_unique<ImageBuffer>();
    std::vector<SkippedDefinition> skipped;
    BuildConfigurationImage(projectFolder, *image, &skipped);
    const DecodedImage decoded = decodeImage(image->inUse());

    ProjectMap map;
    mapFrames(decoded, map);

    // The definition entries follow the document's rows, less the skipped ones.
    std::vector<std::uint32_t> rows;
    rows.reserve(decoded.definitions.size());
    std::size_t nextSkipped = 0;
    for (std::uint32_t row = 1; rows.size() < decoded.definitions.size(); ++row) {
        if (nextSkipped < skipped.size() && skipped[nextSkipped].row == row) {
            ++nextSkipped;
            continue;
        }
        rows.push_back(row);
    }
    mapDefinitions(decoded, rows, feeds, map);

    if (decoded.frames.size() > 255)
        warn(map, "FrameJ1939.xml holds " + framesText(decoded.frames.size()) +
                      ": an image entry keeps 8 bits of its " +
                      "frame number, so the definitions of frame 256 feed no frame and those of frame 257 and above " +
                      "feed the frame 256 places earlier");
    findBytesFedTwice(map);
    for (const SkippedDefinition& row : skipped)
        warn(map, definitionPlace(std::uint32_t(row.row)) + ": frame " + std::to_string(row.frame) +
                      " does not exist (FrameJ1939.xml holds " + framesText(decoded.frames.size()) +
                      "): the definition is left out of the image");
    if (decoded.frames.empty() && fileExists(joinPath(projectFolder, kDefinitionsFileName)))
        warn(map, std::string(kDefinitionsFileName) + " is not read: FrameJ1939.xml holds no frames");
    return map;
}

}  // namespace tessaro
