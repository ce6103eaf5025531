// Fixture for tests that talk to COM objects: the test's thread is in an apartment for the
// whole test, and left as it was found afterwards.
#pragma once

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "script/AutomationObject.h"
#include "script/ComOwners.h"

namespace quenlark::testing_support {

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { com_.Enter(); }

    // A new record holding its own reference to `object`.
    template <typename T>
    static OwnedAutomationObject Hold(const Microsoft::WRL::ComPtr<T>& object) {
        OwnedAutomationObject record = OwnedAutomationObject::New();
        object->AddRef();
        record->unknown = object.Get();
        return record;
    }

private:
    ComApartmentUse com_;
};

}  // namespace quenlark::testing_support
