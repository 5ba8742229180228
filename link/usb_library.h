#pragma once
// The table of USB library functions the link uses, with the libusb-0.1 signatures.
// One implementation calls the real libusb (libusb_library.cpp), the other is the simulated
// bus of sim/. The link's code is the same for both. An abstract class rather than a
// struct of C function pointers, so that several independent buses (one per test system)
// can exist in one process.
//
// The record types are libusb-0.1's own (usb.h): the simulated bus builds the same
// usb_bus / usb_device lists that the real library does; its handles are its own objects
// passed as usb_dev_handle pointers. usb.h also declares a function usb_device(), which hides
// the struct's name in C++: write `struct usb_device`.
#include <usb.h>

class UsbLibrary {
 public:
  virtual ~UsbLibrary() = default;

  virtual void init() = 0;
  virtual void set_debug(int level) = 0;
  virtual int find_busses() = 0;
  virtual int find_devices() = 0;
  virtual usb_bus* get_busses() = 0;

  virtual usb_dev_handle* open(struct usb_device* dev) = 0;
  // May be called while other threads are inside calls on the same handle: those calls return
  // with an error, and every later call with the closed handle returns an error (-19) without
  // touching freed memory. release_interface also makes a blocked transfer return (the kernel
  // cancels the interface's transfers).
  virtual int close(usb_dev_handle* dev) = 0;
  virtual int set_configuration(usb_dev_handle* dev, int configuration) = 0;
  virtual int claim_interface(usb_dev_handle* dev, int interface) = 0;
  virtual int release_interface(usb_dev_handle* dev, int interface) = 0;

  // Return the number of bytes moved, or a negative error (-19 when the unit is gone).
  // A timeout of 0 means without time limit, for the real library as for the simulated one.
  virtual int bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) = 0;
  virtual int bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) = 0;

  virtual int clear_halt(usb_dev_handle* dev, unsigned int ep) = 0;
  virtual int resetep(usb_dev_handle* dev, unsigned int ep) = 0;
  virtual int reset(usb_dev_handle* dev) = 0;
  virtual struct usb_device* device(usb_dev_handle* dev) = 0;
  virtual const char* strerror() = 0;
};

// The units' identity on the bus.
namespace UnitUsb {
inline constexpr unsigned short VendorId = 0x2D5A;
inline constexpr unsigned short ProductId = 0x0C80;
inline constexpr int Configuration = 1;
inline constexpr int Interface = 0;
inline constexpr int EndpointOut = 0x01;
inline constexpr int EndpointIn = 0x82;
// The udev rule, installed with the program, that lets group "plugdev" open the units.
inline constexpr const char* UdevRuleFile = "60-gangprog.rules";
}  // namespace UnitUsb
