#include "session.h"

namespace plexmoor::ops {

Session::Session(Services& services, record::FrontEnd front_end)
    : services_(services), front_end_(front_end), zintra_(services),
      host_(services, [this](const std::string& text) { transcript_.note(text); }), board_(zintra_),
      record_(front_end, [this](const std::string& text) { tell(text); }) {}

void Session::tell(std::string_view text) {
    const std::string shown(text);
    transcript_.note(shown);
    services_.messageBox(shown);
}

bool Session::ask(std::string_view question) {
    return services_.messageBox(std::string(question), Buttons::YesNo) == Answer::Yes;
}

bool Session::requestStop() {
    stop_asked_ = true;
    return zintra_.ZintraStop() != 0;
}

} // namespace plexmoor::ops
