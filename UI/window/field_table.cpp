// The lookup tables built from the configuration field table: AL field
// positions and the descriptor bytes of fields and active-line entries.
#include "flash_form.h"

#include "field_table.h"

namespace plexmoor {

void FlashForm::FieldDef() {
    // Position 0 is the byte before field 1; then each field's width.
    st_.lALPos.resize(kALFields + 2);
    st_.lALPos[0] = 0;
    st_.lALPos[1] = kALTable[0].position;
    for (std::size_t k = 1; k <= kALFields; ++k)
        st_.lALPos[k + 1] = st_.lALPos[k] + kALTable[k - 1].width;

    st_.lFieldHead.resize(4 * kFieldBoxes + 1);
    for (std::size_t k = 0; k < kFieldBoxes; ++k)
        for (std::size_t i = 0; i < 4; ++i)
            st_.lFieldHead[4 * k + i] = kConfigFields[k].head[i];

    st_.lALActiveHead.resize(4 * kActiveLines + 1);
    for (std::size_t j = 0; j < kActiveLines; ++j)
        for (std::size_t i = 0; i < 4; ++i)
            st_.lALActiveHead[4 * j + i] = kActiveTable[j].head[i];
}

} // namespace plexmoor
