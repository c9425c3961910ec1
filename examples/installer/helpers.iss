; Running Kestrane and Halvicor from a product's Inno Setup installer. Inno Setup 6.4 or later. Its
; compiler, setups and uninstallers are 32-bit programs. The tests build this script with Inno Setup
; 6.4.1's compiler and install, upgrade and remove the setup, all under Wine's 32-bit half; Wine stands in
; for Windows there, which they never ran on.
;
; HelpersDir names the folder that holds Kestrane.exe and Halvicor.exe: an absolute path, or one relative
; to this script's folder, which is the default. From the release archive:
;
;     ISCC.exe /DHelpersDir=..\..\bin "/O%CD%" examples\installer\helpers.iss
;
; Copy the helper entries of [Files], [Run] and [UninstallRun] into your own script. This example installs
; per user, into the user's LocalAppData, and runs everything as the installing user. A per-machine setup
; (PrivilegesRequired=admin, {autopf}) runs the helpers elevated, as the account that elevated it: they
; look for their diagnostic marker folder in that account's %TEMP%.
;
; An upgrade, a newer setup with the same AppId run over an older installation, installs over it without
; running its uninstaller: the [UninstallRun] entries, Halvicor 0 among them, run only when the product,
; and its camera, is removed.

#ifndef HelpersDir
  #define HelpersDir "."
#endif

[Setup]
; A fixed AppId: a newer setup of the product upgrades the one installed, and one entry is left.
AppId={{6B1F3C52-8E0D-4A57-9C21-3D8A4F6E7B90}
AppName=QOR Tavro Helpers Example
AppVersion=1.0.0
AppPublisher=QOR Tavro Example
PrivilegesRequired=lowest
DefaultDirName={localappdata}\QorTavroHelpersExample
DisableDirPage=yes
DisableProgramGroupPage=yes
; The helpers are 64-bit programs.
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
OutputBaseFilename=helpers-inno-setup
; Setup writes its log, the helpers' exit codes among it, to the user's %TEMP% ("Setup Log ....txt").
SetupLogging=yes
OutputDir=.

[Files]
Source: "{#HelpersDir}\Kestrane.exe"; DestDir: "{app}"
Source: "{#HelpersDir}\Halvicor.exe"; DestDir: "{app}"

[Run]
; Kestrane watches the default audio endpoints for about five seconds from its start: started without
; waiting, right before the devices are added, it keeps watching while they come. An entry that waited
; would see it done before the devices came, and it would protect nothing. It always exits 0. runhidden
; keeps its console off the desktop.
Filename: "{app}\Kestrane.exe"; Flags: runhidden nowait

; Your product adds its devices here: its drivers and the virtual camera.

; Then every running application is told that the camera has come. Halvicor exits 1 once it has
; broadcast and 0 on a bad argument; Setup logs the exit code and neither fails the installation.
Filename: "{app}\Halvicor.exe"; Parameters: "1"; Flags: runhidden waituntilterminated

[UninstallRun]
; Your product removes its virtual camera here; then the applications are told that it has gone. These
; entries run before Uninstall removes any file, while Halvicor.exe is still there.
Filename: "{app}\Halvicor.exe"; Parameters: "0"; Flags: runhidden waituntilterminated; RunOnceId: "BroadcastCameraRemoved"
