// A result whose value and fault are of one type keeps them apart.

#include "platform/result.h"

#include <gtest/gtest.h>

#include <string>

namespace quorbit {
namespace {

TEST(Result, AFaultIsNeverTakenForAValueOfTheSameType)
{
    const Result<std::string, std::string> found = std::string("name");
    const Result<std::string, std::string> refused = Failure{std::string("why")};
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, "name");
    ASSERT_FALSE(refused) << "made from a Failure, however alike its fault is to a value";
    EXPECT_EQ(refused.fault(), "why");
}

} // namespace
} // namespace quorbit
