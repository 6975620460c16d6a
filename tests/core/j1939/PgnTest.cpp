#include <gtest/gtest.h>

#include "core/j1939/Pgn.h"
#include "core/j1939/WellKnownPgns.h"

namespace tessaro {
namespace {

// One 29-bit identifier per case: the parameter group it carries and, for PDU1, its destination.
struct IdentifierCase {
    std::uint32_t identifier;
    std::uint32_t number;
    std::optional<std::uint8_t> destination;
};

const IdentifierCase kIdentifierCases[] = {
    {0x0CF00400, 61444, std::nullopt},    // EEC1 from the engine, PDU2
    {0x18FEEE00, 65262, std::nullopt},    // ET1
    {0x18FEF1FE, 65265, std::nullopt},    // CCVS from address 254
    {0x18EA2100, 59904, 0x21},            // RQST to 0x21, PDU1: PS is the destination
    {0x18EAFF00, 59904, 0xFF},            // the same to all
    {0x0C000300, 0, 0x03},                // TSC1 to address 3
    {0x18EFFF00, 0xEF00, 0xFF},           // PF 239, the last of PDU1
    {0x18F00000, 0xF000, std::nullopt},   // PF 240, the first of PDU2
    {0x19FEF100, 0x1FEF1, std::nullopt},  // data page 1
    {0x1BFEF100, 0x3FEF1, std::nullopt},  // extended data page and data page
    {0x1FFFFFFF, 0x3FFFF, std::nullopt},  // the widest identifier
    {0x00000000, 0, 0x00},
};

TEST(Pgn, TheParameterGroupOfAnIdentifierAndItsDestination) {
    for (const IdentifierCase& c : kIdentifierCases) {
        SCOPED_TRACE(c.identifier);
        const std::optional<Pgn> pgn = pgnOfIdentifier(c.identifier);
        ASSERT_TRUE(pgn.has_value());
        EXPECT_EQ(pgn->number(), c.number);
        EXPECT_EQ(pgn->destination(), c.destination);
        EXPECT_EQ(pgn->pdu1(), c.destination.has_value());
        // The identifier comes back from its PGN, priority and source address.
        EXPECT_EQ(identifierOf(*pgn, std::uint8_t(c.identifier >> 26), std::uint8_t(c.identifier)), c.identifier);
    }
    EXPECT_EQ(pgnOfIdentifier(0x20000000), std::nullopt);  // wider than 29 bits
    EXPECT_EQ(pgnOfIdentifier(0xFFFFFFFF), std::nullopt);
}

TEST(Pgn, AFramesPgnIsReadAsTheBuilderStoresIt) {
    EXPECT_EQ(framePgn(0, 61444), (Pgn{0, 0xF0, 0x04}));
    EXPECT_EQ(framePgn(1, 0xFEF1).number(), 0x1FEF1u);
    EXPECT_EQ(framePgn(0, 0xEA21).number(), 0xEA00u);  // a destination written into the PGN is no part of it
    EXPECT_EQ(framePgn(0, 0xEA21).destination(), 0x21);
    EXPECT_EQ(framePgn(0, 0x1FEF1), framePgn(0, 0xFEF1));  // the image keeps the low 16 bits
    EXPECT_EQ(framePgn(3, 0xFEF1).number(), 0x1FEF1u);     // and the low bit of the data page
    EXPECT_EQ(framePgn(0, -1).number(), 0xFFFFu);
}

TEST(Pgn, TheDeskTestsIdentifierOfAFrame) {
    EXPECT_EQ(identifierOf(framePgn(0, 61444), 3, 0x00), 0x0CF00400u);
    EXPECT_EQ(identifierOf(framePgn(0, 0xEA21), 6, 0xF9), 0x18EA21F9u);
    EXPECT_EQ(identifierOf(framePgn(1, 0xFEF1), 6, 0x17), 0x19FEF117u);
    EXPECT_EQ(identifierOf(framePgn(0, 65262), 9, 0x00), 0x04FEEE00u);  // the priority keeps its 3 bits
}

TEST(Pgn, ItsTextsShowTheSixteenBitsAsStored) {
    EXPECT_EQ(pgnHex(framePgn(0, 65262)), "0xFEEE");
    EXPECT_EQ(pgnText(framePgn(0, 65262)), "65262 (0xFEEE)");
    EXPECT_EQ(pgnText(framePgn(0, 0xEA21)), "59937 (0xEA21)");
    EXPECT_EQ(pgnHex(framePgn(0, 3)), "0x0003");
    EXPECT_EQ(pgnText(framePgn(1, 0xFEF1)), "65265 (0xFEF1)");  // the data page is shown beside it
}

TEST(WellKnownPgns, HoldTheCheckedNumbers) {
    struct Case {
        std::uint32_t pgn;
        const char* acronym;
        const char* name;
    };
    const Case cases[] = {{59392, "ACKM", "Acknowledgment"},
                          {60928, "AC", "Address claimed"},
                          {65215, "EBC2", "Wheel speed information"},
                          {65253, "HOURS", "Engine hours, revolutions"},
                          {65263, "EFL/P1", "Engine fluid level/pressure 1"},
                          {65276, "DD", "Dash display"}};
    for (const Case& entry : cases) {
        const WellKnownPgn* found = findWellKnownPgn(framePgn(0, std::int32_t(entry.pgn)));
        ASSERT_NE(found, nullptr) << entry.pgn;
        EXPECT_EQ(found->acronym, entry.acronym);
        EXPECT_EQ(found->name, entry.name);
    }
    EXPECT_EQ(findWellKnownPgn(framePgn(0, 65264)), nullptr);
    EXPECT_GE(wellKnownPgns().size(), 28u);
}

TEST(WellKnownPgns, APdu1DestinationIsNoPartOfTheParameterGroup) {
    EXPECT_EQ(wellKnownPgnTip(0, 0xEA21), "RQST Request");
    EXPECT_EQ(wellKnownPgnTip(0, 0x0003), "TSC1 Torque/speed control 1");
    EXPECT_EQ(wellKnownPgnTip("0", "0xEA21"), "RQST Request");
    EXPECT_EQ(wellKnownPgnTip("0", "$EE05"), "AC Address claimed");
    EXPECT_EQ(findWellKnownPgn(*pgnOfIdentifier(0x18EA2100)), findWellKnownPgn(framePgn(0, 0xEA00)));
    // A PDU2 group extension is part of it.
    EXPECT_EQ(wellKnownPgnTip(0, 0xFEEF), "EFL/P1 Engine fluid level/pressure 1");
    EXPECT_EQ(wellKnownPgnTip(0, 0xFEFF), "");
    // Every PGN of the table lies on data page 0.
    EXPECT_EQ(wellKnownPgnTip(1, 0xEA21), "");
    EXPECT_EQ(wellKnownPgnTip("x", "0xEA21"), "");
}

}  // namespace
}  // namespace tessaro
