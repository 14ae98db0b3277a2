// The game's resources as data: menu 109, accelerator table 103, icon 107 and
// the dialog templates 106, 144, 145, 151, 152 and 153 (the configuration),
// handed to the platform's resource registry. The game calls this once at
// start; tests too.
#pragma once

void RegisterGameResources();
