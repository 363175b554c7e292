// The product fixtures: each install is found by discovery as the products
// themselves would be, and leaves nothing behind.
#include <gtest/gtest.h>

#include "harness/products.h"
#include "harness/registry.h"
#include "harness/scratch.h"
#include "run/update_context.h"

namespace {

struct LookupCase {
    const char* name;
    GlimOnLookup lookup;
    int found;
};

void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.name;
}

class FakeGlimOnLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FakeGlimOnLookup, IsFoundByDiscoveryThroughItsLookup)
{
    const LookupCase& c = GetParam();
    ScratchDir scratch;
    RegistryGuard guard;
    FakeGlimOn glimOn(scratch.path(), c.lookup);
    UpdateContext context;
    context.discoverProducts();
    EXPECT_EQ(c.found, context.getFoundCount());
    EXPECT_EQ(c.found ? glimOn.sharedDir() : "", context.definitionDirs[0]);
}

INSTANTIATE_TEST_SUITE_P(Lookups, FakeGlimOnLookup,
                         ::testing::Values(LookupCase{"AppPath", GlimOnLookup::AppPath, 1},
                                           LookupCase{"GlimonAppPath", GlimOnLookup::GlimonAppPath, 1},
                                           LookupCase{"InstallPath", GlimOnLookup::InstallPath, 1},
                                           LookupCase{"None", GlimOnLookup::None, 0}),
                         [](const ::testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST(ProductFixtures, BothInstalledAreFoundAndRemovedAfterwards)
{
    ScratchDir scratch;
    RegistryGuard guard;
    std::string sharedDir, dravomireDir;
    {
        FakeGlimOn glimOn(scratch.path());
        FakeDravomire dravomire(scratch.path());
        sharedDir = glimOn.sharedDir();
        dravomireDir = dravomire.directory();
        EXPECT_TRUE(fileExistsAt(glimOn.program()));
        EXPECT_TRUE(fileExistsAt(dravomire.program()));
        EXPECT_EQ(glimOn.sharedDir(), readValue(product_keys::kGlimOn, "sharedir").data.c_str());
        EXPECT_EQ(dravomire.directory(), readValue(product_keys::kDravomire, "Directory").data.c_str());

        UpdateContext context;
        context.discoverProducts();
        EXPECT_EQ(2, context.getFoundCount());
        EXPECT_EQ(sharedDir, context.definitionDirs[0]);
        EXPECT_EQ(dravomireDir, context.definitionDirs[1]);
    }
    EXPECT_FALSE(directoryExistsAt(sharedDir));
    EXPECT_FALSE(directoryExistsAt(dravomireDir));
    EXPECT_FALSE(readValue(product_keys::kGlimOn, "sharedir").present);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, product_keys::kGlimOnAppPath));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, product_keys::kDravomire));
    UpdateContext context;
    context.discoverProducts();
    EXPECT_EQ(0, context.getFoundCount());
}

} // namespace
