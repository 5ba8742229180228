// The installed libusb 0.1 through LibusbLibrary, on a fake usbfs tree (USB_DEVFS_PATH):
// device files that hold only descriptors. It shows what the library fills in when it cannot
// query the hubs (no children, no root device) and that the enumeration still finds the
// units; and that the binding refuses calls on a handle it has closed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/libusb_library.h"
#include "tests/link/link_test_support.h"

namespace {

namespace fs = std::filesystem;

void WriteDeviceFile(const fs::path& path, std::uint16_t vendor, std::uint16_t product,
                     std::uint8_t deviceClass) {
  // A device descriptor with no configurations, as usbfs device files begin.
  const std::uint8_t descriptor[18] = {18,
                                       1,
                                       0x00,
                                       0x02,
                                       deviceClass,
                                       0,
                                       0,
                                       64,
                                       static_cast<std::uint8_t>(vendor),
                                       static_cast<std::uint8_t>(vendor >> 8),
                                       static_cast<std::uint8_t>(product),
                                       static_cast<std::uint8_t>(product >> 8),
                                       0x00,
                                       0x01,
                                       0,
                                       0,
                                       0,
                                       0};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(descriptor), sizeof descriptor);
}

class LibusbLibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new fs::path(fs::temp_directory_path() / ("link_usbfs_" + std::to_string(getpid())));
    fs::create_directories(*root_ / "001");
    fs::create_directories(*root_ / "002");
    WriteDeviceFile(*root_ / "001" / "001", 0x1D6B, 0x0002, 9);  // root hub
    WriteDeviceFile(*root_ / "001" / "002", UnitUsb::VendorId, UnitUsb::ProductId, 0);
    WriteDeviceFile(*root_ / "001" / "003", UnitUsb::VendorId, UnitUsb::ProductId, 0);
    WriteDeviceFile(*root_ / "002" / "001", 0x1D6B, 0x0002, 9);
    setenv("USB_DEVFS_PATH", root_->c_str(), 1);
  }
  static void TearDownTestSuite() {
    fs::remove_all(*root_);
    delete root_;
  }
  static fs::path* root_;
  LibusbLibrary usb;
};

fs::path* LibusbLibraryTest::root_ = nullptr;

TEST_F(LibusbLibraryTest, WithoutHubQueriesChildrenStayZeroButUnitsAreFound) {
  usb.init();
  EXPECT_EQ(usb.find_busses(), 2);
  usb.find_devices();
  int busses = 0;
  for (usb_bus* bus = usb.get_busses(); bus != nullptr; bus = bus->next) {
    ++busses;
    EXPECT_EQ(bus->root_dev, nullptr);  // what the library leaves without hub information
    for (struct usb_device* device = bus->devices; device != nullptr; device = device->next) {
      EXPECT_EQ(device->num_children, 0);
    }
  }
  EXPECT_EQ(busses, 2);
  const UnitScan scan = ScanBusList(usb.get_busses());
  EXPECT_TRUE(scan.Attached);
  EXPECT_EQ(scan.Units.size(), 2u);
}

TEST_F(LibusbLibraryTest, LinkTableEnumeratesAndRefusesADeviceItCannotConfigure) {
  NamedLocks locks;
  S_SystemPara settings;
  LinkTable table(usb, locks, settings, LinkTableOptions{SleepFor, FixedTime, false});
  const UnitScan scan = table.EnumerateUnits();
  ASSERT_EQ(scan.Units.size(), 2u);
  // A descriptor file opens, but selecting the configuration fails: the handle is closed.
  EXPECT_FALSE(table.Link(0).OpenDevice(scan.Units[0]));
  EXPECT_EQ(table.Link(0).IsOpened(), 0);
  EXPECT_FALSE(table.IsUnitPresent(0));
}

TEST_F(LibusbLibraryTest, ClosedHandleIsRefusedWithoutReachingTheLibrary) {
  usb.init();
  usb.find_busses();
  usb.find_devices();
  const UnitScan scan = ScanBusList(usb.get_busses());
  ASSERT_FALSE(scan.Units.empty());
  usb_dev_handle* handle = usb.open(scan.Units[0]);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(usb.device(handle), scan.Units[0]);
  char bytes[16] = {};
  EXPECT_LT(usb.bulk_read(handle, UnitUsb::EndpointIn, bytes, 16, 0), 0);  // not a real device
  EXPECT_EQ(usb.close(handle), 0);
  // The handle's memory is gone now; the binding must not hand it to the library again.
  EXPECT_EQ(usb.bulk_read(handle, UnitUsb::EndpointIn, bytes, 16, 0), -ENODEV);
  EXPECT_EQ(usb.bulk_write(handle, UnitUsb::EndpointOut, bytes, 16, 0), -ENODEV);
  EXPECT_EQ(usb.device(handle), nullptr);
  EXPECT_EQ(usb.close(handle), -ENODEV);
}

}  // namespace
