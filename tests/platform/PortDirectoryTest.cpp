#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

namespace veska::platform {
namespace {

/// A temporary port directory with a few entries, named for the test; none afterwards.
class PortDirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/veska-ports-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        for (const char* name : {"COM4", "com7", "sensor", "motor", ".hidden"})
            Link("/dev/null", name);
        Link("/nonexistent/device", "COM12");  // dangling: still names the port
        SetPortDirectory(dir_);
    }

    void TearDown() override {
        for (const std::string& name : made_) unlink((dir_ + "/" + name).c_str());
        rmdir(dir_.c_str());
        SetPortDirectory("");
    }

    void Link(const char* target, const char* name) {
        ASSERT_EQ(symlink(target, (dir_ + "/" + name).c_str()), 0);
        made_.emplace_back(name);
    }

    std::string dir_;
    std::vector<std::string> made_;
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
    SetPortDirectory("");
    EXPECT_EQ(ResolvePortName("\\\\.\\COM4"), "/dev/ttyS3");
    EXPECT_EQ(ResolvePortName("sensor"), "sensor");
    SetPortDirectory("");
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyS1");
}

TEST_F(PortDirectoryTest, ListOffersOnlyTheComEntriesOfThePortDirectory) {
    // What an operator keeps beside the links: none of it is a port.
    for (const char* file : {"screenshot.png", "session.log", "sensor.prm", "COM4.bak", "COM0"}) {
        FILE* f = fopen((dir_ + "/" + file).c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
        made_.emplace_back(file);
    }
    Link("/dev/null", "COM40");
    EXPECT_EQ(ListComPortEntries(), (std::vector<std::string>{"COM4", "COM7", "COM12", "COM40"}));
    const std::vector<std::string> ports = ListSerialPorts();
    const std::vector<std::string> tail(ports.end() - 4, ports.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"COM4", "COM7", "COM12", "COM40"}));
    for (auto it = ports.begin(); it != ports.end() - 4; ++it) {
        EXPECT_EQ(it->rfind("/dev/", 0), 0u) << *it;
    }
    SetPortDirectory("");
    EXPECT_TRUE(ListComPortEntries().empty());
}

/// A fake /dev, /dev/serial/by-id and /sys/class/tty; the devices are links to distinct
/// character devices of the real /dev.
class SerialDeviceListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/veska-devs-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root_ = templ;
        roots_.devDir = root_ + "/dev";
        roots_.byIdDir = root_ + "/by-id";
        roots_.sysTtyDir = root_ + "/sys";
        for (const std::string& d : {roots_.devDir, roots_.byIdDir, roots_.sysTtyDir})
            ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
    }
    void TearDown() override { ASSERT_EQ(system(("rm -rf " + root_).c_str()), 0); }

    void Device(const std::string& name, const char* target) {
        ASSERT_EQ(symlink(target, (roots_.devDir + "/" + name).c_str()), 0);
    }
    void File(const std::string& path) {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }
    void UartType(const std::string& name, const char* type) {
        const std::string dir = roots_.sysTtyDir + "/" + name;
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        FILE* f = fopen((dir + "/type").c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(type, f);
        fclose(f);
    }

    std::string root_;
    SerialDeviceRoots roots_;
};

TEST_F(SerialDeviceListTest, ListsRealSerialDevicesByTheirByIdNameWhereTheyHaveOne) {
    Device("ttyUSB10", "/dev/null");
    Device("ttyUSB2", "/dev/zero");
    Device("ttyACM0", "/dev/full");
    Device("ttyS0", "/dev/random");   // a UART with a chip (type 4, 16550A)
    Device("ttyS1", "/dev/urandom");  // a slot without one (type 0)
    UartType("ttyS0", "4\n");
    UartType("ttyS1", "0\n");
    ASSERT_EQ(symlink("../dev/ttyUSB2", (roots_.byIdDir + "/usb-FTDI_Recovery-if00-port0").c_str()),
              0);
    // Not serial devices: a regular file, a dangling link, other names.
    File(roots_.devDir + "/ttyUSB3");
    Device("ttyUSB4", "/nonexistent/device");
    Device("ttyUSBx", "/dev/tty");
    Device("ttyS", "/dev/tty");
    Device("tty5", "/dev/tty");
    Device("null", "/dev/tty");
    File(roots_.devDir + "/screenshot.png");

    EXPECT_EQ(ListSerialDevices(roots_), (std::vector<std::string>{
                                             roots_.byIdDir + "/usb-FTDI_Recovery-if00-port0",
                                             roots_.devDir + "/ttyACM0",
                                             roots_.devDir + "/ttyS0",
                                             roots_.devDir + "/ttyUSB10",
                                         }));
}

TEST_F(SerialDeviceListTest, AMachineWithoutSerialFoldersListsNothing) {
    roots_.devDir = root_ + "/none";
    roots_.byIdDir = root_ + "/none";
    EXPECT_TRUE(ListSerialDevices(roots_).empty());
}

}  // namespace
}  // namespace veska::platform
