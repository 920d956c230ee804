// Home folder provisioning.
#include "app/provision.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

void provisionHome() {
    const std::string& home = talorahome();
    makeDirectories(home);
    // Installed data: beside the build tree's executables, or under share/.
    std::string exeDir = executableDirectory();
    for (const char* candidate : {"/../data/home", "/../share/ondaria/home"}) {
        std::string from = exeDir + candidate;
        if (directoryExists(from)) {
            copyMissingTree(from, home);
            break;
        }
    }
    for (const char* dir : {"/drive_c/talora/som/letras", "/drive_c/talora/som/difones",
                            "/drive_c/ondaria/som", "/drive_c/ondaria/temp", "/drive_c/ondaria/m3u"})
        makeDirectories(home + dir);
    // Scripts start the family's text viewer as c:\talora\redato.exe: a
    // launcher of the redato that sits beside this program.
    writeLauncherScript(home + "/drive_c/talora/redato.exe", exeDir + "/redato");
}
