// The options window's "BIOS Update" page. Without the database's firmware functions there is
// no image to offer: "Execute" stays disabled and the version label empty.
#include "app/options_form.h"

void TOptionsForm::PrepareFirmwareImage() {}

void TOptionsForm::Button6Click() {}
