// The commands that touch a board: program, serial, read and recover.
#include "chip_image.h"
#include "cli_commands.h"
#include "cli_gang.h"
#include "cli_run_view.h"
#include "cli_texts.h"
#include "configuration_operations.h"
#include "image_copy.h"
#include "packed_image_check.h"
#include "program_image.h"
#include "recover.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace plexmoor::cli {
namespace {

void Note(const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", std::string(text::kProgram).c_str(), line.c_str());
}

// The copies that wait for other boards are told; one that waits for the
// board on the bridge stops the command (told), unless --keep-recovery.
bool CopiesAllowWriting(Cli& cli) {
    if (cli.o.keep_recovery) return true;
    std::vector<std::string> notes;
    const bool free = ops::NoCopyWaitsFor(cli.session, notes);
    for (const std::string& note : notes)
        Note(note);
    return free;
}

} // namespace

namespace {

// What the last box said, for the row of a board that was never reached.
std::string LastTold(Cli& cli, std::size_t mark) {
    const std::vector<std::string> told = cli.session.transcript().since(mark);
    return told.empty() ? std::string() : told.back();
}

// The board is opened, a chip answered and, before a write of its block,
// no copy of its own waits: false (told, and a failed row where the record
// is kept) otherwise.
bool BoardReached(Cli& cli, record::Operation what, const std::string& image = {}) {
    const std::size_t mark = cli.session.transcript().mark();
    const bool writes = what == record::Operation::Flash ||
                        what == record::Operation::FlashSetting || what == record::Operation::Erase;
    if (OpenBoard(cli) && ops::BoardReady(cli.session) && (!writes || CopiesAllowWriting(cli)))
        return true;
    ops::RecordRefused(cli.session, what, image, LastTold(cli, mark));
    return false;
}

} // namespace

bool OpenBoard(Cli& cli) {
    ops::Board& board = cli.session.board();
    board.listBridges();
    if (!cli.o.device.empty() && !board.choose(cli.o.device)) {
        Fail(std::string(cli.session.zintra().available("ZintraListBridges")
                             ? text::kBridgeNotChosen
                             : text::kNoBridgeChoice) +
             cli.o.device);
        return false;
    }
    report::Phase(text::kPhaseOpen);
    if (!board.open()) return false;
    report::Chip(cli.session);
    return true;
}

std::optional<ops::ImageCopy> ImageToWrite(const Options& o) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(o.image, ec);
    if (ec || size == 0) {
        Fail(o.image + std::string(text::kEmptyImage));
        return std::nullopt;
    }
    std::string why;
    std::optional<ops::ImageCopy> image = ops::ImageCopy::Take(o.image, why);
    if (!image) {
        Fail(why);
        return std::nullopt;
    }
    if (const std::string found = ops::WhatIsNotPacked(image->bytes()); !o.raw && !found.empty()) {
        Fail(o.image + std::string(text::kNotPacked) + found + std::string(text::kNotPackedEnd));
        return std::nullopt;
    }
    return image;
}

namespace {

// The outcome's line on standard output when it is done; its reason was
// told already otherwise.
int Ended(const ops::Outcome& outcome) {
    if (outcome.ok()) std::printf("%s\n", outcome.summary.c_str());
    return StatusOf(outcome);
}

} // namespace

int Program(Cli& cli) {
    const Options& o = cli.o;
    // Read once, here: what is judged a packed image is what is programmed.
    const std::optional<ops::ImageCopy> image = ImageToWrite(o);
    if (!image) return kFailure;
    if (!BoardReached(cli, record::Operation::Flash, o.image)) return kFailure;
    ops::FlashRequest r;
    r.image = o.image;
    r.copy = &*image;
    r.address = o.address;
    r.fast = o.fast;
    r.clock_mhz = o.fast ? o.clock_mhz : 0;
    // A production line backs boards up only where it asks to, into a
    // folder of its choice.
    r.back_up = !o.backup.empty();
    r.backup_folder = o.backup;
    if (o.keep_backups) r.keep_backups = *o.keep_backups;
    CliRunView view(cli.session, Interrupted);
    const ops::Outcome outcome = ops::Flash(cli.session, r, view);
    view.ended(outcome.ok());
    if (!outcome.backup.empty())
        std::fprintf(stderr, "%s%s\n", std::string(text::kBackupKept).c_str(),
                     outcome.backup.c_str());
    if (!outcome.ok() && outcome.messages.empty() && !outcome.summary.empty())
        Fail(outcome.summary);
    return StatusOf(outcome);
}

// The serial is reserved before the board is written: saved into the
// configuration file, under the lock taken before the file was read, so
// that no other station gets it and a failed save writes nothing. The
// lock is let go before the block is written, which takes a while.
int Serial(Cli& cli) {
    if (!BoardReached(cli, record::Operation::FlashSetting)) return kFailure;
    ops::SettingRequest r;
    r.source = cli.o.new_serial ? ops::SerialSource::Next : ops::SerialSource::Kept;
    r.chosen = [&cli](const std::string&) {
        const std::size_t told = cli.session.transcript().count();
        cli.config.SaveINI(cli.o.config);
        if (cli.session.transcript().count() != told) {
            Fail(std::string(text::kSerialNotReserved));
            return false;
        }
        cli.config_lock.reset();
        if (Interrupted()) {
            cli.session.requestStop();
            Fail(std::string(text::kInterruptedBeforeWrite));
            return false;
        }
        return true;
    };
    CliRunView view(cli.session, Interrupted);
    const ops::Outcome outcome = ops::FlashSetting(cli.session, cli.config, r, view);
    if (!outcome.ok()) return kFailure;
    if (report::Enabled())
        report::Serial(outcome.serial);
    else
        std::printf("%s\n", outcome.serial.c_str());
    return kSuccess;
}

// The whole chip into a file, or the configuration block into a
// configuration file.
int Read(Cli& cli) {
    if (!cli.o.chip_image.empty()) {
        if (!BoardReached(cli, record::Operation::Backup, cli.o.chip_image)) return kFailure;
        CliRunView view(cli.session, Interrupted);
        const ops::Outcome outcome = ops::ReadChip(cli.session, cli.o.chip_image, view);
        view.ended(outcome.ok());
        return Ended(outcome);
    }
    if (!BoardReached(cli, record::Operation::LoadFromFlash)) return kFailure;
    // Reading writes nothing, so a waiting copy is only told: what the
    // block reads may be the erased remains of an interrupted write.
    for (const RecoveryCopy& copy : WaitingRecoveryCopies(cli.session.zintra()))
        std::fprintf(stderr, "%s\n", RecoveryText(text::kRecoveryNote, copy).c_str());
    const ops::Outcome outcome = ops::LoadFromFlash(cli.session, cli.config);
    if (!outcome.ok()) return kFailure;
    const std::size_t told = cli.session.transcript().count();
    cli.config.SaveINI(cli.o.out);
    return cli.session.transcript().count() == told ? kSuccess : kFailure;
}

int Verify(Cli& cli) {
    std::string why;
    const std::optional<ops::ImageCopy> image = ops::ImageCopy::Take(cli.o.image, why);
    if (!image) return Fail(why);
    if (!BoardReached(cli, record::Operation::Verify, cli.o.image)) return kFailure;
    return Ended(ops::VerifyImage(cli.session, *image, cli.o.image, cli.o.address));
}

int Erase(Cli& cli) {
    if (!BoardReached(cli, record::Operation::Erase)) return kFailure;
    CliRunView view(cli.session, Interrupted);
    const ops::Outcome outcome = ops::EraseChip(cli.session, view);
    view.ended(outcome.ok());
    return Ended(outcome);
}

namespace {

int ListCopies(Cli& cli) {
    const std::vector<RecoveryCopy> copies = WaitingRecoveryCopies(cli.session.zintra());
    if (copies.empty()) {
        std::printf("%s\n", std::string(text::kNoRecoveryCopy).c_str());
        return kSuccess;
    }
    for (const RecoveryCopy& copy : copies)
        std::printf("%-16s %-16s %-10s %s\n", ops::CopyOwner(copy).c_str(),
                    copy.identity ? copy.identity->written.c_str() : "-",
                    copy.identity && !copy.identity->bridge.empty() ? copy.identity->bridge.c_str()
                                                                    : "-",
                    copy.path.c_str());
    return kSuccess;
}

// The copy the command names, else the one of the board on the bridge,
// else (none fits) the oldest, which the write-back then refuses.
std::optional<RecoveryCopy> CopyFor(Cli& cli, const std::vector<RecoveryCopy>& copies) {
    if (!cli.o.copy.empty()) return ReadRecoveryCopy(cli.o.copy);
    for (const RecoveryCopy& copy : copies) {
        const ops::BoardFit fit = ops::FitOf(cli.session, copy);
        if (fit.fit == ops::CopyFit::Own && !fit.erased) return copy;
    }
    for (const RecoveryCopy& copy : copies)
        if (ops::FitOf(cli.session, copy).fit == ops::CopyFit::Own) return copy;
    return copies.front();
}

} // namespace

// The copy goes back onto its own board, in the exact mode, which verifies
// every page; only a copy that is on the board again is removed.
int Recover(Cli& cli) {
    const Options& o = cli.o;
    ZintraLink& zintra = cli.session.zintra();
    if (!zintra.available("ZintraRecoveryCopy")) return Fail(std::string(text::kNoRecovery));
    if (o.list_copies) return ListCopies(cli);
    if (!o.discard.empty()) {
        const ops::Outcome outcome = ops::Discard(cli.session, ReadRecoveryCopy(o.discard));
        std::fprintf(outcome.ok() ? stdout : stderr, "%s\n", outcome.summary.c_str());
        return StatusOf(outcome);
    }
    const std::vector<RecoveryCopy> copies = WaitingRecoveryCopies(zintra);
    if (copies.empty() && o.copy.empty()) {
        std::printf("%s\n", std::string(text::kNoRecoveryCopy).c_str());
        return kSuccess;
    }
    if (!BoardReached(cli, record::Operation::Recover)) return kFailure;
    const std::optional<RecoveryCopy> copy = CopyFor(cli, copies);
    CliRunView view(cli.session, Interrupted);
    const ops::Outcome outcome = ops::Recover(cli.session, *copy, o.force, view);
    view.ended(outcome.ok());
    if (outcome.ok())
        std::printf("%s\n", outcome.summary.c_str());
    else
        Fail(outcome.summary);
    return StatusOf(outcome);
}

} // namespace plexmoor::cli
