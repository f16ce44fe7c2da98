// When a read-back confirms a write, and the words a result is told in.
#include <gtest/gtest.h>

#include "engine/confirm.h"

namespace vornik::test {
namespace {

using engine::Next;

TEST(Confirm, ADifferingReadBackIsWrittenAgainWhileRoundsRemain)
{
    NetworkParams written{};
    written.ipAddress = 0xC0A80065;
    NetworkParams same = written, other = written;
    other.ipAddress = 0xC0A80066;
    NetworkParams carried = written; // a byte no field shows
    carried.carriedBytes[0] ^= 1;
    const struct {
        const char* name;
        NetworkParams back;
        int round;
        Next next;
        size_t differences;
    } rows[] = {
        {"same, first round", same, 1, Next::Settled, 0},
        {"differs, first of three", other, 1, Next::WriteAgain, 1},
        {"differs, second of three", other, 2, Next::WriteAgain, 1},
        {"differs, last round", other, 3, Next::Settled, 1},
        {"a byte no field shows differs", carried, 1, Next::WriteAgain, 1},
    };
    for (const auto& row : rows) {
        const auto d = engine::ReadBackDifferences({written, std::nullopt}, {row.back, std::nullopt});
        EXPECT_EQ(d.size(), row.differences) << row.name;
        EXPECT_EQ(engine::AfterReadBack(d, row.round, 3), row.next) << row.name;
    }
}

TEST(Confirm, ResultWordsAreThoseTheManualAndTheCollectionUse)
{
    // As vornikctl(1) lists them and the Ansible collection reads them.
    const struct {
        engine::Result result;
        const char* word;
    } rows[] = {
        {engine::Result::Confirmed, "confirmed"},
        {engine::Result::Acknowledged, "acknowledged"},
        {engine::Result::Written, "written, not confirmed"},
        {engine::Result::NotConfirmed, "not confirmed"},
        {engine::Result::NotWritten, "not written"},
        {engine::Result::Unchanged, "unchanged"},
        {engine::Result::WouldChange, "would change"},
        {engine::Result::Read, "read"},
        {engine::Result::NoReply, "no reply"},
    };
    for (const auto& row : rows) EXPECT_EQ(engine::ResultWord(row.result), row.word);
    EXPECT_EQ(engine::Unconfirmed(true), engine::Result::Written);
    EXPECT_EQ(engine::Unconfirmed(false), engine::Result::NotConfirmed);
}

} // namespace
} // namespace vornik::test
