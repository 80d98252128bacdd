// The custom order store: merging running applications into the saved order, reorders, and what
// gets written.
#include "core/AppOrderStore.h"

#include "platform/sim/SimUserDefaults.h"

#include <gtest/gtest.h>

using namespace halvo;
using Ids = std::vector<std::string>;

namespace {

constexpr const char* key = AppOrderStore::customAppOrderKey;

Ids stored(const SimUserDefaults& defaults) {
    return defaults.stringArrayForKey(key).value_or(Ids{"<missing>"});
}

} // namespace

TEST(AppOrderStore, FirstRunReturnsRunningOrderAndSavesIt) {
    SimUserDefaults defaults;
    AppOrderStore store(defaults);
    EXPECT_EQ(defaults.writeCount(key), 0u);
    EXPECT_EQ(store.orderedIDs({"B", "A", "B", "C"}), (Ids{"B", "A", "C"}));
    EXPECT_EQ(stored(defaults), (Ids{"B", "A", "C"}));
    EXPECT_EQ(defaults.writeCount(key), 1u);
    // The same running list again changes nothing and writes nothing.
    EXPECT_EQ(store.orderedIDs({"B", "A", "C"}), (Ids{"B", "A", "C"}));
    EXPECT_EQ(defaults.writeCount(key), 1u);
}

TEST(AppOrderStore, KnownAppsKeepSavedOrderNewcomersFollowAndQuitAppsKeepTheirSlot) {
    SimUserDefaults defaults;
    defaults.preset(key, Ids{"A", "X", "B"});
    AppOrderStore store(defaults);
    EXPECT_EQ(store.orderedIDs({"N", "B", "A"}), (Ids{"A", "B", "N"}));
    EXPECT_EQ(stored(defaults), (Ids{"A", "X", "B", "N"}));
    // X launches again: it takes its old place, not the end.
    EXPECT_EQ(store.orderedIDs({"N", "B", "A", "X"}), (Ids{"A", "X", "B", "N"}));
    EXPECT_EQ(defaults.writeCount(key), 1u);
}

TEST(AppOrderStore, EmptyRunningListWritesNothingUnlessSavedOrderHasDuplicates) {
    SimUserDefaults clean;
    clean.preset(key, Ids{"A", "B"});
    AppOrderStore cleanStore(clean);
    EXPECT_TRUE(cleanStore.orderedIDs({}).empty());
    EXPECT_EQ(clean.writeCount(key), 0u);

    SimUserDefaults duplicated;
    duplicated.preset(key, Ids{"A", "B", "A", "C", "B"});
    AppOrderStore store(duplicated);
    EXPECT_EQ(store.savedOrder(), (Ids{"A", "B", "A", "C", "B"})) << "loaded list used unchanged";
    EXPECT_TRUE(store.orderedIDs({}).empty());
    EXPECT_EQ(stored(duplicated), (Ids{"A", "B", "C"}));
}

TEST(AppOrderStore, StoredValueOfWrongTypeReadsAsEmptyOrder) {
    SimUserDefaults defaults;
    defaults.preset(key, std::string("A,B"));
    AppOrderStore store(defaults);
    EXPECT_TRUE(store.savedOrder().empty());
    EXPECT_EQ(store.orderedIDs({"B", "A"}), (Ids{"B", "A"}));
    EXPECT_EQ(stored(defaults), (Ids{"B", "A"}));
}

TEST(AppOrderStore, SaveVisibleOrderRefillsVisibleSlotsAroundHiddenOnes) {
    SimUserDefaults defaults;
    defaults.preset(key, Ids{"A", "X", "B", "Y", "C"});
    AppOrderStore store(defaults);
    store.saveVisibleOrder({"C", "A", "B"});
    EXPECT_EQ(stored(defaults), (Ids{"C", "X", "A", "Y", "B"}));
    store.saveVisibleOrder({"C", "A", "B"});
    EXPECT_EQ(defaults.writeCount(key), 1u) << "unchanged order must not be written";
}

TEST(AppOrderStore, SaveVisibleOrderAppendsIdentifiersTheSavedOrderLacks) {
    SimUserDefaults defaults;
    defaults.preset(key, Ids{"A", "B"});
    AppOrderStore store(defaults);
    store.saveVisibleOrder({"Z", "B", "A"});
    EXPECT_EQ(stored(defaults), (Ids{"Z", "B", "A"}));
}

struct MoveCase {
    const char* name;
    std::ptrdiff_t source;
    std::ptrdiff_t destination;
    Ids expected;
    bool writes;
};

class AppOrderStoreMove : public ::testing::TestWithParam<MoveCase> {};

TEST_P(AppOrderStoreMove, MovesIntoTheGapAndSavesOnlyValidChanges) {
    const MoveCase& c = GetParam();
    SimUserDefaults defaults;
    defaults.preset(key, Ids{"A", "B", "C"});
    AppOrderStore store(defaults);
    EXPECT_EQ(store.move(c.source, c.destination, {"A", "B", "C"}), c.expected);
    EXPECT_EQ(defaults.writeCount(key), c.writes ? 1u : 0u);
    if (c.writes) {
        EXPECT_EQ(stored(defaults), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppOrderStoreMove,
    ::testing::Values(MoveCase{"FirstToEnd", 0, 3, {"B", "C", "A"}, true},
                      MoveCase{"LastToStart", 2, 0, {"C", "A", "B"}, true},
                      MoveCase{"FirstIntoItsOwnGap", 0, 1, {"A", "B", "C"}, false},
                      MoveCase{"MiddleBackOne", 1, 0, {"B", "A", "C"}, true},
                      MoveCase{"SourceEqualToCount", 3, 0, {"A", "B", "C"}, false},
                      MoveCase{"NegativeSource", -1, 0, {"A", "B", "C"}, false},
                      MoveCase{"DestinationPastEnd", 0, 4, {"A", "B", "C"}, false},
                      MoveCase{"NegativeDestination", 1, -1, {"A", "B", "C"}, false}),
    [](const ::testing::TestParamInfo<MoveCase>& param) { return std::string(param.param.name); });
