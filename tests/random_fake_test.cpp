// Random registries on the in-memory double: every kind of refusal,
// enumeration failures, and a check that every handle is closed.
#include "fake_registry.h"
#include "random_cases.h"

#include <gtest/gtest.h>

namespace {

void Prepare(const RandomCase& c)
{
    fake_registry::Reset();
    for (const std::string& key : c.keys)
        fake_registry::AddKey(key);
    for (const std::string& key : c.valueKeys)
        fake_registry::AddValue(key, "Value");
    for (const std::string& key : c.refuseRead)
        fake_registry::Refuse(fake_registry::Op::Open, key);
    for (const std::string& key : c.refuseOpen)
        fake_registry::Refuse(fake_registry::Op::Create, key);
    for (const std::string& key : c.refuseDelete)
        fake_registry::Refuse(fake_registry::Op::Delete, key);
    if (c.enumerationFailsAt >= 0)
        fake_registry::FailEnumerationFrom(static_cast<DWORD>(c.enumerationFailsAt));
}

std::vector<std::string> KeysLeft(const RandomCase&)
{
    return fake_registry::Keys();
}

std::string Problems()
{
    if (fake_registry::OpenHandles() != 0)
        return std::to_string(fake_registry::OpenHandles()) + " handles left open";
    if (!fake_registry::Misuse().empty())
        return fake_registry::Misuse().front();
    return "";
}

void Cleanup(const RandomCase&) {}

const RandomBackend kFake =
    {"in-memory registry", true, true, true, Prepare, KeysLeft, nullptr, Problems, Cleanup};

TEST(RandomRegistries, InMemoryAgreesWithTheModel)
{
    EXPECT_EQ(RunRandomCases(kFake, 10000), "");
}

} // namespace
