#include "platform/hotkeys/AtomTable.h"

#include <gtest/gtest.h>

namespace vardocle {
namespace {

TEST(AtomTable, SameNameSharesOneAtomUntilItsLastReferenceGoes) {
    TAtomTable atoms;
    const auto atom = atoms.Add("HotKeyManagerHotKey32817");
    ASSERT_GE(atom, TAtomTable::kFirstAtom);
    EXPECT_EQ(atoms.Add("hotkeymanagerhotkey32817"), atom); // case does not matter
    EXPECT_EQ(atoms.Name(atom), "HotKeyManagerHotKey32817");
    EXPECT_EQ(atoms.Count(), 1u);

    EXPECT_TRUE(atoms.Delete(atom));
    EXPECT_EQ(atoms.Find("HotKeyManagerHotKey32817"), atom);
    EXPECT_TRUE(atoms.Delete(atom));
    EXPECT_EQ(atoms.Find("HotKeyManagerHotKey32817"), 0);
    EXPECT_FALSE(atoms.Delete(atom));
    EXPECT_EQ(atoms.Count(), 0u);
}

TEST(AtomTable, RefusesNamesItCannotHold) {
    TAtomTable atoms;
    EXPECT_EQ(atoms.Add(""), 0);
    EXPECT_EQ(atoms.Add(std::string(TAtomTable::kMaxNameLength + 1, 'x')), 0);
    EXPECT_NE(atoms.Add(std::string(TAtomTable::kMaxNameLength, 'x')), 0);
    EXPECT_FALSE(atoms.Delete(0));
}

TEST(AtomTable, FullTableRefusesAndFreedAtomsAreReusedLater) {
    TAtomTable atoms;
    const unsigned capacity = TAtomTable::kLastAtom - TAtomTable::kFirstAtom + 1;
    for (unsigned i = 0; i < capacity; ++i)
        ASSERT_NE(atoms.Add("atom" + std::to_string(i)), 0) << i;
    EXPECT_EQ(atoms.Add("one too many"), 0);

    const auto freed = atoms.Find("atom7");
    ASSERT_TRUE(atoms.Delete(freed));
    EXPECT_EQ(atoms.Add("newcomer"), freed);
    EXPECT_EQ(atoms.Find("atom7"), 0);
}

TEST(AtomTable, ReleasedAtomIsNotHandedStraightToAnotherName) {
    TAtomTable atoms;
    const auto first = atoms.Add("first");
    atoms.Delete(first);
    const auto second = atoms.Add("second");
    EXPECT_NE(second, 0);
    EXPECT_NE(second, first);
}

} // namespace
} // namespace vardocle
