// The settings file beside the program and the user's configuration files.
#include "flash_form.h"

namespace plexmoor {

// The start-up keeps its place for the settings file: the DIP count read
// from it, and the defaults of every group known when it is read.
void FlashForm::LoadIni(const std::string&) {
    st_.lDipBits = 1;
    ConfDef();
}

void FlashForm::SaveINI(const std::string&) {}

void FlashForm::ConfDef() {}

} // namespace plexmoor
