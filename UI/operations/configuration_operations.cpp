#include "configuration_operations.h"

#include "operation_support.h"
#include "operation_texts.h"
#include "program_image.h"
#include "serial_numbers.h"
#include "text_functions.h"

#include <cstdio>
#include <vector>

namespace plexmoor::ops {
namespace {

// The serial for the board, reserved in the record where there is one.
// Nothing when it was refused (told).
std::optional<std::string> ChooseSerial(Session& session, Configuration& config,
                                        const SettingRequest& r, const std::string& held,
                                        bool held_read) {
    ProductionRecord& record = session.record();
    const Date today = session.services().today();
    const std::string day = SerialDay(today);
    const record::Entry e = BoardRow(session, r.what);
    const bool weighed = record.active() && held_read && WellFormedSerial(held);
    switch (r.source) {
    case SerialSource::Typed: {
        const std::string serial = Trim(config.serial());
        if (!record.active()) return serial;
        if (r.ask_over_known && weighed && held != serial) {
            const std::optional<bool> known = record.knows(held);
            if (!known) return std::nullopt;
            if (*known && !session.ask(Format(text::kOverKnownSerial, held, serial)))
                return std::nullopt;
        }
        if (!(r.own_row ? record.reserveExact(serial, held, day, e)
                        : record.assignExact(serial, held, day)))
            return std::nullopt;
        return serial;
    }
    case SerialSource::Kept:
        if (weighed) {
            const std::optional<bool> known = record.knows(held);
            if (!known) return std::nullopt;
            if (*known) {
                if (!(r.own_row ? record.reserveExact(held, held, day, e)
                                : record.assignExact(held, held, day)))
                    return std::nullopt;
                config.setSerial(held);
                return held;
            }
        }
        [[fallthrough]];
    case SerialSource::Next:
        break;
    }
    std::optional<std::string> next;
    const int counter = TodaysCounter(config.serial(), today);
    if (record.active())
        next = r.own_row ? record.reserveNext(day, counter, e) : record.assignNext(day, counter);
    else if (!(next = NextSerial(config.serial(), today)))
        session.tell(text::kSerialFormat);
    if (!next) return std::nullopt;
    // A board whose serial the record does not know is never given another
    // without a word.
    if (r.source == SerialSource::Kept && weighed && held != *next)
        session.tell(Format(text::kUnknownSerialReplaced, held, *next));
    config.setSerial(*next);
    return next;
}

} // namespace

Outcome FlashSetting(Session& session, Configuration& config, const SettingRequest& r,
                     RunView& view) {
    Ending ended(session);
    if (!BoardReady(session) || !config.store()) return ended(Result::Refused);
    ProductionRecord& record = session.record();
    ZintraLink& zintra = session.zintra();
    // The board's own serial counts only beside a record; without one the
    // block is written as the window's procedure writes it, nothing read first.
    std::string held;
    bool held_read = false;
    if (r.board_serial) {
        held = *r.board_serial;
        held_read = true;
    } else if (record.active()) {
        if (const std::optional<std::string> serial = zintra.ZintraBoardSerial()) {
            held = *serial;
            held_read = true;
        }
    }
    const std::optional<std::string> serial = ChooseSerial(session, config, r, held, held_read);
    if (!serial) return ended(Result::Refused);
    ended.out.row = record.row();
    // The caller closes a row it began; this operation closes its own.
    auto close = [&](bool done, const std::string& message, const std::string& read_back = {}) {
        if (r.own_row) record.finish(ClosingOf(session, done, message, read_back));
    };
    if (r.chosen && !r.chosen(*serial)) {
        close(false, Format(text::kSerialUnsaved, *serial));
        return ended(Result::Refused);
    }
    view.starting(Phase::Setting);
    if (!config.transfer()) {
        Outcome out = ended(Result::Refused, std::string(text::kBlockNotWritten));
        close(false, out.reason());
        return out;
    }
    const bool written = zintra.FlashSerial() != 0;
    std::string read_back;
    if (record.active()) read_back = zintra.ZintraBoardSerial().value_or("");
    ended.out.serial = *serial;
    Outcome out =
        ended(written ? Result::Done : Result::Failed,
              written ? Format(text::kBlockWritten, *serial) : std::string(text::kBlockNotWritten));
    record.finish(ClosingOf(session, written, written ? out.summary : out.reason(), read_back));
    return out;
}

Outcome LoadFromFlash(Session& session, Configuration& config) {
    Ending ended(session);
    if (!BoardReady(session)) return ended(Result::Refused);
    ProductionRecord& record = session.record();
    // A read never waits for the record: the row is left out where it cannot
    // be begun (the record said so).
    const bool row = record.begin(BoardRow(session, record::Operation::LoadFromFlash));
    ended.out.row = row ? record.row() : 0;
    // A read the library could not trust has been told; the tables are not
    // the board's and are not shown as if they were.
    const bool shown = session.zintra().LoadConfFromFlashToBuffer() != 0 && config.show();
    if (shown) ended.out.serial = config.serial();
    Outcome out = ended(shown ? Result::Done : Result::Failed,
                        shown ? Format(text::kBlockRead, ended.out.serial) : std::string());
    if (row) {
        record::Closing c = ClosingOf(session, shown, shown ? out.summary : out.reason());
        c.serial = out.serial;
        c.board_serial = out.serial;
        record.finish(c);
    }
    return out;
}

Outcome Parse(Session& session, Configuration& config, const std::string& path) {
    Ending ended(session);
    if (session.zintra().LoadConfFromFileToBuffer(path, config.productNumber()) == 0 ||
        !config.show())
        return ended(Result::Failed);
    ended.out.serial = config.serial();
    return ended(Result::Done, Format(text::kParsed, path));
}

Outcome Pack(Session& session, Configuration& config, const std::string& out,
             const std::string& released, bool offer_flash_path) {
    Ending ended(session);
    if (!config.pack(out, released, offer_flash_path)) return ended(Result::Failed);
    return ended(Result::Done, Format(text::kPacked, out));
}

} // namespace plexmoor::ops
