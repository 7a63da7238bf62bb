// The line configuration as the operations need it: the window keeps it
// (its boxes and state are the master copy) and hands it to the library's
// tables and takes it back. The window implements this; plexmoor-cli and
// the station load a configuration file into a window model that does.
#pragma once

#include <cstdint>
#include <string>

namespace plexmoor::ops {

class Configuration {
  public:
    virtual ~Configuration() = default;
    // The shown group's boxes and firmware entry into the window state;
    // false, after saying which box, at one that holds no number.
    virtual bool store() = 0;
    // Every value, the serial included, into the library's tables; false,
    // after saying why, when refused.
    virtual bool transfer() = 0;
    // The library's tables into the configuration; false, after saying why,
    // when they do not fit it.
    virtual bool show() = 0;
    // The serial as the configuration holds it (the serial box), and set.
    virtual std::string serial() = 0;
    virtual void setSerial(const std::string& serial) = 0;
    // The product number a packed file is read with.
    virtual int32_t productNumber() = 0;
    // Packs into out, from the source images or (released not empty) from a
    // released image; offer_flash_path asks whether the flash panel then
    // programs the new file. False when nothing was packed (told).
    virtual bool pack(const std::string& out, const std::string& released,
                      bool offer_flash_path) = 0;
};

} // namespace plexmoor::ops
