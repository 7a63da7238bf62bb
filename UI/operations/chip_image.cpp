#include "chip_image.h"

#include "backups.h"
#include "operation_support.h"
#include "operation_texts.h"
#include "program_image.h"

#include <cstdio>
#include <vector>

namespace plexmoor::ops {
namespace {

// One row from its start to its close, with the outcome's own message.
class Row {
  public:
    Row(Session& session, record::Operation what, const std::string& image,
        const std::string* bytes)
        : session_(session), ending_(session) {
        begun_ = session.record().begin(BoardRow(session, what), image, bytes);
    }
    bool begun() const { return begun_; }
    Outcome end(Result result, std::string summary) {
        Outcome out = ending_(result, std::move(summary));
        out.row = session_.record().row();
        const bool done = result == Result::Done;
        session_.record().finish(ClosingOf(session_, done, done ? out.summary : out.reason()));
        return out;
    }

  private:
    Session& session_;
    Ending ending_;
    bool begun_ = false;
};

// The chip's size, or a refusal told: the whole chip needs it.
uint64_t KnownSize(Session& session) {
    const uint64_t size = session.board().chip().size;
    if (size == 0) {
        char told[160];
        std::snprintf(told, sizeof told, std::string(text::kChipSizeUnknown).c_str(),
                      session.board().chip().idText().c_str());
        session.tell(told);
    }
    return size;
}

} // namespace

Outcome ReadChip(Session& session, const std::string& out, RunView& view) {
    Outcome refused;
    if (!BoardReady(session)) return refused;
    const uint64_t size = KnownSize(session);
    Row row(session, record::Operation::Backup, out, nullptr);
    if (size == 0 || !row.begun()) return row.end(Result::Refused, {});
    const bool read = BackUp(session, out, 0, static_cast<int64_t>(size), view);
    return row.end(read ? Result::Done : Result::Failed,
                   read ? "read " + std::to_string(size) + " bytes into " + out : "");
}

Outcome VerifyImage(Session& session, const ImageCopy& image, const std::string& name,
                    int32_t address) {
    Outcome refused;
    if (!BoardReady(session)) return refused;
    Row row(session, record::Operation::Verify, name, &image.bytes());
    if (!row.begun()) return row.end(Result::Refused, {});
    const std::string& bytes = image.bytes();
    std::vector<uint8_t> flash(bytes.size());
    if (session.zintra().ZintraReadFlash(address, flash.data(),
                                         static_cast<int32_t>(flash.size())) == 0)
        return row.end(Result::Failed, {});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (flash[i] == static_cast<uint8_t>(bytes[i])) continue;
        char differs[512];
        std::snprintf(differs, sizeof differs, std::string(text::kFlashDiffers).c_str(),
                      name.c_str(), static_cast<unsigned>(address + i), flash[i],
                      static_cast<uint8_t>(bytes[i]));
        session.tell(differs);
        return row.end(Result::Failed, {});
    }
    return row.end(Result::Done,
                   "verified " + std::to_string(bytes.size()) + " bytes at " + Hex8(address));
}

Outcome EraseChip(Session& session, RunView& view) {
    Outcome refused;
    if (!BoardReady(session)) return refused;
    const uint64_t size = KnownSize(session);
    if (size == 0) return refused;
    std::string why;
    const std::optional<ImageCopy> erased = ImageCopy::Of(std::string(size, '\xFF'), why);
    if (!erased) {
        session.tell(why);
        return refused;
    }
    FlashRequest r;
    r.what = record::Operation::Erase;
    r.image = "erased chip";
    r.fast = true;
    r.copy = &*erased;
    return Flash(session, r, view);
}

} // namespace plexmoor::ops
