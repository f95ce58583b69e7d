#pragma once

#include <QObject>

#include <functional>
#include <utility>
#include <vector>

// Test classes of one test program register here; TestMain.cpp runs them all.
namespace testsupport {

using TestFactory = std::function<QObject*()>;

inline std::vector<std::pair<const char*, TestFactory>>& registeredTests()
{
    static std::vector<std::pair<const char*, TestFactory>> tests;
    return tests;
}

struct TestRegistrar
{
    TestRegistrar(const char* name, TestFactory factory) { registeredTests().emplace_back(name, std::move(factory)); }
};

} // namespace testsupport

#define VESCOR_TEST(Class) \
    static testsupport::TestRegistrar registrar_##Class(#Class, [] { return new Class; });
