#include "recover.h"

#include "operation_texts.h"
#include "program_image.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace plexmoor::ops {
namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Format(std::string_view format, const std::string& a, const std::string& b = {},
                   const std::string& c = {}) {
    std::vector<char> out(format.size() + a.size() + b.size() + c.size() + 1);
    std::snprintf(out.data(), out.size(), std::string(format).c_str(), a.c_str(), b.c_str(),
                  c.c_str());
    return out.data();
}

std::string Held(const BoardFit& f) {
    if (!f.serial_read) return std::string(text::kSerialUnread);
    if (f.erased) return std::string(text::kBlockErased);
    return f.serial.empty() ? std::string(text::kNoSerialHeld) : f.serial;
}

bool RemoveCopy(const RecoveryCopy& copy) {
    std::error_code ec;
    std::filesystem::remove(copy.path, ec);
    if (ec) return false;
    std::filesystem::remove(copy.path + zintra::recovery::kIdentitySuffix, ec);
    return true;
}

} // namespace

std::string CopyOwner(const RecoveryCopy& copy) {
    if (!copy.identity) return std::string(text::kBoardUnknown);
    return copy.identity->serial.empty() ? std::string(text::kNoSerialHeld) : copy.identity->serial;
}

BoardFit FitOf(Session& session, const RecoveryCopy& copy) {
    BoardFit f;
    ZintraLink& zintra = session.zintra();
    if (const std::optional<std::string> serial = zintra.ZintraBoardSerial()) {
        f.serial = *serial;
        f.serial_read = true;
    }
    if (copy.address < 0) return f;
    std::vector<uint8_t> block(kRecoveryBlockSize);
    if (zintra.ZintraReadFlash(copy.address, block.data(), static_cast<int32_t>(block.size())) != 1)
        return f;
    f.erased = std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0xFF; });
    const std::vector<uint8_t> old = FileBytes(copy.path);
    // Programming only clears bits: a block the interrupted write got part
    // of the way through holds every 0 of its target and 1s where it had
    // not come yet.
    bool partly_new = copy.identity && copy.identity->target.size() == block.size();
    for (std::size_t i = 0; partly_new && i < block.size(); ++i)
        partly_new = (block[i] & copy.identity->target[i]) == copy.identity->target[i];
    f.fit = f.erased || block == old || partly_new ? CopyFit::Own : CopyFit::Other;
    return f;
}

Outcome Recover(Session& session, const RecoveryCopy& copy, bool force, RunView& view) {
    Outcome out;
    const std::size_t mark = session.transcript().mark();
    // The refusal is the outcome's to show, once, as every other end of it.
    auto refused = [&](std::string why) {
        out.result = Result::Refused;
        out.messages = session.transcript().since(mark);
        out.summary = why;
        return out;
    };
    if (!BoardReady(session)) {
        out.summary = RecoveryText(text::kRecoveryNotWritten, copy);
        out.messages = session.transcript().since(mark);
        return out;
    }
    if (copy.address < 0) return refused(copy.path + std::string(text::kCopyNameUnknown));
    const BoardFit fit = FitOf(session, copy);
    if (fit.fit != CopyFit::Own && !force)
        return refused(
            Format(fit.fit == CopyFit::Other ? text::kCopyOfAnotherBoard : text::kCopyBoardUnread,
                   CopyOwner(copy), Held(fit), copy.path));
    FlashRequest r;
    r.what = record::Operation::Recover;
    r.image = copy.path;
    r.address = copy.address;
    r.forced = fit.fit != CopyFit::Own;
    out = Flash(session, r, view);
    if (!out.ok()) {
        out.summary = RecoveryText(text::kRecoveryNotWritten, copy);
        return out;
    }
    out.summary =
        RecoveryText(RemoveCopy(copy) ? text::kRecoveryWritten : text::kRecoveryNotRemoved, copy);
    return out;
}

Outcome Discard(Session& session, const RecoveryCopy& copy) {
    Outcome out;
    record::Entry e;
    e.operation = record::Operation::Discard;
    e.image = std::filesystem::path(copy.path).filename().string();
    e.serial = copy.identity ? copy.identity->serial : std::string();
    if (copy.address >= 0) e.address = copy.address;
    if (!session.record().begin(e)) return out;
    out.row = session.record().row();
    const bool removed = RemoveCopy(copy);
    out.result = removed ? Result::Done : Result::Failed;
    out.summary = RecoveryText(removed ? text::kCopyDiscarded : text::kCopyNotDiscarded, copy);
    record::Closing closing;
    closing.result = removed ? record::Result::Done : record::Result::Failed;
    closing.message = out.summary;
    session.record().finish(closing);
    return out;
}

bool NoCopyWaitsFor(Session& session, std::vector<std::string>& notes) {
    for (const RecoveryCopy& copy : WaitingRecoveryCopies(session.zintra())) {
        const BoardFit fit = FitOf(session, copy);
        // An erased block is no sign of this board: a new board reads so too.
        if (fit.fit == CopyFit::Own && !fit.erased) {
            session.tell(Format(text::kCopyWaitsForThisBoard, CopyOwner(copy), copy.path));
            return false;
        }
        notes.push_back(Format(text::kCopyWaitsForAnother, CopyOwner(copy),
                               copy.identity ? copy.identity->written : std::string("?"),
                               copy.path));
    }
    return true;
}

} // namespace plexmoor::ops
