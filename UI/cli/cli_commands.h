// The commands of plexmoor-cli, each a call of the operations every front
// end shares: no control of the window is typed into, no caption read.
#pragma once

#include "cli_options.h"
#include "cli_services.h"
#include "file_replacement.h"
#include "flash_form.h"
#include "image_copy.h"
#include "session.h"

#include <optional>
#include <string>

namespace plexmoor::cli {

// What a command runs with: the options, the terminal, the session (the
// library, the board, the record) and the configuration it started from.
struct Cli {
    const Options& o;
    CliServices& services;
    ops::Session& session;
    FlashForm& config;
    // Held from before the configuration file is read until the serial
    // saved into it (serial).
    std::optional<FileLock>& config_lock;
    // The command line, for the workers of --all.
    int argc;
    const char* const* argv;
};

// "plexmoor-cli: why" on standard error; kFailure.
int Fail(const std::string& why);
// Ctrl+C, a closed terminal or a polite kill came.
bool Interrupted();
// The status of an outcome: 0 done, 1 otherwise.
int StatusOf(const ops::Outcome& outcome);

// The bridge --device names (else the first listed), opened as Init opens
// it; false (told) when it is not there or did not open.
bool OpenBoard(Cli& cli);

// The image read once, whole, and judged a packed image unless --raw;
// nothing (told) otherwise. Before any board is opened.
std::optional<ops::ImageCopy> ImageToWrite(const Options& o);

int Program(Cli& cli);
int Serial(Cli& cli);
int Read(Cli& cli);
int Recover(Cli& cli);
int Verify(Cli& cli);
int Erase(Cli& cli);

} // namespace plexmoor::cli
