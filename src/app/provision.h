// Provisioning of the home folder: at every start whatever of the installed
// data is missing in TALORA_HOME is added (the FALARIS.INI template, the
// sound folders, the engine files, the radio finder's folders). Files that
// exist are never overwritten, so what a user changed stays.
#pragma once

void provisionHome();
