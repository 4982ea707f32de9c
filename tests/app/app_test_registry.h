#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace kv::test {

// The QtTest classes of the app tests; one program runs them all.
using TTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TTestFactory>& AppTests();

struct TAppTestRegistration {
    explicit TAppTestRegistration(TTestFactory factory) { AppTests().push_back(std::move(factory)); }
};

}  // namespace kv::test

#define KV_APP_TEST(Class) \
    static const ::kv::test::TAppTestRegistration kRegistration##Class([] { return std::make_unique<Class>(); })
