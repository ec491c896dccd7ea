#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

namespace veska::platform {
namespace {

/// A temporary $VESKA_PORTS with a few entries; the previous value comes back afterwards.
class PortDirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* old = getenv("VESKA_PORTS")) saved_ = old;
        hadValue_ = getenv("VESKA_PORTS") != nullptr;
        char templ[] = "/tmp/veska-ports-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        for (const char* name : {"COM4", "com7", "sensor", "motor", ".hidden"})
            Link("/dev/null", name);
        Link("/nonexistent/device", "COM12");  // dangling: still names the port
        setenv("VESKA_PORTS", dir_.c_str(), 1);
    }

    void TearDown() override {
        for (const std::string& name : made_) unlink((dir_ + "/" + name).c_str());
        rmdir(dir_.c_str());
        if (hadValue_) {
            setenv("VESKA_PORTS", saved_.c_str(), 1);
        } else {
            unsetenv("VESKA_PORTS");
        }
    }

    void Link(const char* target, const char* name) {
        ASSERT_EQ(symlink(target, (dir_ + "/" + name).c_str()), 0);
        made_.emplace_back(name);
    }

    std::string dir_;
    std::vector<std::string> made_;
    std::string saved_;
    bool hadValue_ = false;
};

struct NameCase {
    const char* name;
    const char* expected;  // "@" stands for the port directory
};

TEST_F(PortDirectoryTest, ResolvesPortNames) {
    const NameCase cases[] = {
        {"\\\\.\\COM4", "@/COM4"},
        {"COM4", "@/COM4"},
        {"com4", "@/COM4"},
        {"\\\\.\\COM7", "@/com7"},  // entry names compared without regard to case
        {"COM12", "@/COM12"},
        {"\\\\.\\COM3", "/dev/ttyS2"},
        {"COM1", "/dev/ttyS0"},
        {"COM256", "/dev/ttyS255"},
        {"COM257", "COM257"},
        {"COM0", "COM0"},
        {"COM04", "COM04"},
        {"COMX", "COMX"},
        {"COM", "COM"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"\\\\.\\/dev/pts/3", "/dev/pts/3"},
        {"sensor", "@/sensor"},
        {"\\\\.\\SENSOR", "@/sensor"},
        {"unknown", "unknown"},
        {"\\\\.\\unknown", "\\\\.\\unknown"},
        {"../sensor", "../sensor"},
        {"", ""},
    };
    for (const NameCase& c : cases) {
        std::string expected = c.expected;
        if (!expected.empty() && expected[0] == '@') expected = dir_ + expected.substr(1);
        EXPECT_EQ(ResolvePortName(c.name), expected) << c.name;
    }
}

TEST_F(PortDirectoryTest, WithoutAPortDirectoryComPortsAreTheSerialDevices) {
    unsetenv("VESKA_PORTS");
    EXPECT_EQ(ResolvePortName("\\\\.\\COM4"), "/dev/ttyS3");
    EXPECT_EQ(ResolvePortName("sensor"), "sensor");
    setenv("VESKA_PORTS", "", 1);
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyS1");
}

TEST_F(PortDirectoryTest, ListEndsWithTheNamedEntriesOfThePortDirectory) {
    const std::vector<std::string> ports = ListSerialPorts();
    ASSERT_GE(ports.size(), 2u);
    const std::vector<std::string> tail(ports.end() - 2, ports.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"motor", "sensor"}));
    for (auto it = ports.begin(); it != ports.end() - 2; ++it) {
        EXPECT_EQ(it->rfind("/dev/", 0), 0u) << *it;
    }
    for (const char* comName : {"COM4", "com7", "COM12", ".hidden"}) {
        EXPECT_EQ(std::count(ports.begin(), ports.end(), comName), 0) << comName;
    }
}

}  // namespace
}  // namespace veska::platform
