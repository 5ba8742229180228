#include "sim/device_records.h"

#include <cstdio>

namespace sim {

namespace {

inline constexpr std::uint8_t kDescriptorDevice = 1;
inline constexpr std::uint8_t kDescriptorConfig = 2;
inline constexpr std::uint8_t kDescriptorInterface = 4;
inline constexpr std::uint8_t kDescriptorEndpoint = 5;
inline constexpr std::uint8_t kClassHub = 9;
inline constexpr std::uint8_t kClassVendor = 0xFF;
inline constexpr std::uint8_t kBulk = 2;
inline constexpr std::uint16_t kHighSpeedBulkPacket = 512;

void fillDeviceDescriptor(struct usb_device& r, std::uint8_t deviceClass, std::uint16_t vendor,
                          std::uint16_t product) {
  usb_device_descriptor d{};
  d.bLength = 18;
  d.bDescriptorType = kDescriptorDevice;
  d.bcdUSB = 0x0200;
  d.bDeviceClass = deviceClass;
  d.bMaxPacketSize0 = 64;
  d.idVendor = vendor;
  d.idProduct = product;
  d.bcdDevice = 0x0100;
  d.bNumConfigurations = 1;
  r.descriptor = d;
}

void fillEndpoint(usb_endpoint_descriptor& e, int address) {
  e.bLength = 7;
  e.bDescriptorType = kDescriptorEndpoint;
  e.bEndpointAddress = static_cast<std::uint8_t>(address);
  e.bmAttributes = kBulk;
  e.wMaxPacketSize = kHighSpeedBulkPacket;
}

}  // namespace

void fillUnitRecords(PluggedDevice& device, std::uint16_t vendor, std::uint16_t product,
                     std::uint8_t devnum, usb_bus* bus) {
  struct usb_device& r = device.record;
  std::snprintf(r.filename, sizeof r.filename, "%03u", static_cast<unsigned>(devnum));
  r.bus = bus;
  r.devnum = devnum;
  fillDeviceDescriptor(r, kClassVendor, vendor, product);

  fillEndpoint(device.endpoints[0], UnitUsb::EndpointOut);
  fillEndpoint(device.endpoints[1], UnitUsb::EndpointIn);
  usb_interface_descriptor& alt = device.altsetting;
  alt.bLength = 9;
  alt.bDescriptorType = kDescriptorInterface;
  alt.bInterfaceNumber = UnitUsb::Interface;
  alt.bNumEndpoints = 2;
  alt.bInterfaceClass = kClassVendor;
  alt.endpoint = device.endpoints.data();
  device.interface.altsetting = &device.altsetting;
  device.interface.num_altsetting = 1;
  usb_config_descriptor& c = device.config;
  c.bLength = 9;
  c.bDescriptorType = kDescriptorConfig;
  c.wTotalLength = 9 + 9 + 2 * 7;
  c.bNumInterfaces = 1;
  c.bConfigurationValue = UnitUsb::Configuration;
  c.bmAttributes = 0x80;
  c.MaxPower = 250;  // 500 mA
  c.interface = &device.interface;
  r.config = &device.config;
}

void fillHubRecords(PluggedDevice& device, usb_bus* bus) {
  struct usb_device& r = device.record;
  std::snprintf(r.filename, sizeof r.filename, "%03u", 1u);
  r.bus = bus;
  r.devnum = 1;
  fillDeviceDescriptor(r, kClassHub, 0x0000, 0x0002);
  device.config.bLength = 9;
  device.config.bDescriptorType = kDescriptorConfig;
  device.config.bConfigurationValue = 1;
  device.config.bNumInterfaces = 1;
  device.altsetting.bLength = 9;
  device.altsetting.bDescriptorType = kDescriptorInterface;
  device.altsetting.bInterfaceClass = kClassHub;
  device.interface.altsetting = &device.altsetting;
  device.interface.num_altsetting = 1;
  device.config.interface = &device.interface;
  r.config = &device.config;
  r.children = device.children.data();
  r.num_children = 0;
  device.name = "root hub";
}

}  // namespace sim
