#include "program_image.h"

#include "backups.h"
#include "image_copy.h"
#include "operation_support.h"
#include "operation_texts.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace plexmoor::ops {
namespace {

record::Entry RowOf(Session& session, const FlashRequest& r) {
    record::Entry e = BoardRow(session, r.what);
    e.address = r.address;
    e.mode = r.forced ? "forced" : r.fast ? "fast" : "exact";
    return e;
}

// Program flash erases whole blocks, so the backup holds every block the
// run touches, not only the file's bytes; the run starts only once the
// library has read them twice alike and read the file back whole. The
// path written, empty where none was needed; nothing when it failed.
std::optional<std::string> BackUpBeforeWriting(Session& session, const FlashRequest& r,
                                               int64_t length, RunView& view) {
    if (!session.zintra().available("ZintraBackupFlash")) return std::string();
    const Board& board = session.board();
    const std::optional<BlockRange> range = ErasedBlocks(r.address, length, board.chip().size);
    if (!range) return std::string();
    const std::string path = BackupPath(r.backup_folder, board.chosen(), board.chip(), *range);
    if (!BackUp(session, path, static_cast<int32_t>(range->first),
                static_cast<int64_t>(range->end - range->first), view))
        return std::nullopt;
    PruneBackups(path, r.keep_backups);
    return path;
}

int32_t Program(Session& session, const FlashRequest& r) {
    // The fast mode only where asked for; the library's exact mode
    // otherwise, delay for delay.
    if (r.fast) return session.zintra().ZintraProgramFast(0, r.clock_mhz);
    return session.zintra().ZintraAction(ZINTRA_PROGRAM_FLASH, 0, 0, 0);
}

} // namespace

void RecordRefused(Session& session, record::Operation what, const std::string& image,
                   const std::string& why) {
    FlashRequest r;
    r.what = what;
    record::Entry e = RowOf(session, r);
    e.address.reset();
    e.mode.clear();
    if (!session.record().begin(e, image)) return;
    record::Closing closing;
    closing.result = record::Result::Failed;
    closing.message = why;
    session.record().finish(closing);
}

std::string ProtectionNote(Session& session) {
    const std::optional<int32_t> status = session.zintra().ZintraWriteProtection();
    if (!status || *status < 0) return {};
    char note[96];
    std::snprintf(note, sizeof note, std::string(text::kWriteProtected).c_str(),
                  static_cast<unsigned>(*status));
    return note;
}

bool BoardReady(Session& session) {
    Board& board = session.board();
    // A click queued before the buttons were locked must not start a second
    // run from inside the first; the rest is told.
    if (board.busy()) return false;
    if (!board.isOpen()) {
        session.tell(text::kPressInitFirst);
        return false;
    }
    if (board.chip().state != Chip::State::None) return true;
    session.tell(text::kNoChip);
    return false;
}

Outcome Flash(Session& session, const FlashRequest& r, RunView& view) {
    Outcome out;
    const std::size_t mark = session.transcript().mark();
    auto ended = [&](Result result, std::string summary) {
        out.result = result;
        out.messages = session.transcript().since(mark);
        out.summary = std::move(summary);
        return out;
    };
    if (!BoardReady(session)) return ended(Result::Refused, {});
    Board& board = session.board();
    ProductionRecord& record = session.record();

    // The row of a file that is there is committed before anything else;
    // a missing file is told below, and no board is touched for it.
    std::error_code ec;
    std::optional<ImageCopy> taken;
    const ImageCopy* image = r.copy;
    if (!image && std::filesystem::is_regular_file(r.image, ec)) {
        std::string why;
        taken = ImageCopy::Take(r.image, why);
        if (!taken) {
            session.tell(why);
            return ended(Result::Refused, why);
        }
        image = &*taken;
    }
    if (image && r.own_row) {
        if (!record.begin(RowOf(session, r), r.image, &image->bytes()))
            return ended(Result::Refused, {});
        out.row = record.row();
    }
    board.setBusy(true);
    view.starting(Phase::Programming);
    session.zintra().SetupWriteParameter(r.address, r.image);
    if (!image) {
        session.tell(r.image + std::string(text::kFileDoesntExist));
        board.setBusy(false);
        return ended(Result::Failed, {});
    }
    // What is programmed is the copy read above, not the file, which may
    // change under the run.
    session.zintra().SetupWriteParameter(r.address, image->path());
    const auto length = static_cast<int64_t>(image->bytes().size());
    view.locked(r.address, length);
    session.clearStop();
    std::optional<std::string> backup = std::string();
    if (r.back_up) backup = BackUpBeforeWriting(session, r, length, view);
    int32_t result = 0;
    if (backup && !session.stopAsked()) {
        out.backup = *backup;
        view.programming();
        result = Program(session, r);
    }
    board.setBusy(false);
    view.unlocked();

    const Result how = result != 0           ? Result::Done
                       : session.stopAsked() ? Result::Stopped
                                             : Result::Failed;
    std::string summary;
    if (how == Result::Done && r.what == record::Operation::Erase)
        summary = "erased " + std::to_string(length) + " bytes";
    else if (how == Result::Done)
        summary = "programmed " + std::to_string(length) + " bytes at " + Hex8(r.address);
    else if (how == Result::Stopped)
        summary = backup ? "stopped at " +
                               Hex8(static_cast<uint32_t>(session.zintra().GetFlashProgress())) +
                               "; the board holds a partial image"
                         : "stopped during the backup; nothing was written";
    ended(how, summary);
    if (how == Result::Failed) {
        // The library's own message stays as it is; what the chip says of
        // its protection goes with the outcome.
        const std::string note = ProtectionNote(session);
        if (!note.empty()) out.messages.push_back(out.reason() + note);
    }
    if (!r.own_row) return out;
    record::Closing closing;
    closing.result = how == Result::Done      ? record::Result::Done
                     : how == Result::Stopped ? record::Result::Stopped
                                              : record::Result::Failed;
    closing.message = how == Result::Failed ? out.reason() : out.summary;
    closing.chip_id = board.chip().idText();
    if (board.chip().size != 0) closing.chip_size = static_cast<int64_t>(board.chip().size);
    record.finish(closing);
    return out;
}

Outcome Restore(Session& session, const std::string& backup, bool fast, int32_t clock_mhz,
                RunView& view) {
    Outcome out;
    const std::size_t mark = session.transcript().mark();
    if (!BoardReady(session)) return out;
    // The name records where the bytes came from; a file whose size does
    // not fit its range is no backup of this program's.
    const std::optional<BlockRange> range = BackupRange(backup);
    if (!range) {
        session.tell(std::string(text::kNotABackup) + backup);
        out.messages = session.transcript().since(mark);
        return out;
    }
    char span[32];
    std::snprintf(span, sizeof span, "%08X-%08X", static_cast<unsigned>(range->first),
                  static_cast<unsigned>(range->end - 1));
    const std::string chip = session.board().chip().shown();
    const std::string question =
        std::string(text::kRestoreAsk) + std::filesystem::path(backup).filename().string() +
        std::string(text::kRestoreToChip) +
        (chip.empty() ? std::string(text::kUnknownChip) : chip) + std::string(text::kRestoreAt) +
        span + std::string(text::kRestoreEnd);
    if (!session.ask(question)) return out;
    FlashRequest r;
    r.what = record::Operation::Restore;
    r.image = backup;
    r.address = static_cast<int32_t>(range->first);
    r.fast = fast;
    r.clock_mhz = clock_mhz;
    return Flash(session, r, view);
}

} // namespace plexmoor::ops
