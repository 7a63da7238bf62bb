// The whole chip as a technician checks a board that came back: read into a
// file, compared with an image, erased. Each is a row of the record.
#pragma once

#include "image_copy.h"
#include "outcome.h"
#include "run_view.h"
#include "session.h"

#include <cstdint>
#include <string>

namespace plexmoor::ops {

// Every byte of the chip into out (a new file), read twice alike.
Outcome ReadChip(Session& session, const std::string& out, RunView& view);
// The flash from address compared with the image, byte for byte; the first
// difference named.
Outcome VerifyImage(Session& session, const ImageCopy& image, const std::string& name,
                    int32_t address);
// Every block erased (the fast mode leaves blocks that read erased already).
Outcome EraseChip(Session& session, RunView& view);

} // namespace plexmoor::ops
