; Running Kestrane and Halvicor from a product's NSIS installer. NSIS 3. A 32-bit installer, as every
; NSIS builds it, which starts the 64-bit helpers alike on 64-bit Windows. -DInstallerTarget=amd64-unicode
; makes a 64-bit installer instead, for an NSIS that has the amd64 stubs (Debian's has them, the download
; for Windows does not). The tests install, upgrade and remove the 32-bit build, under Wine's 32-bit half,
; and install and remove the 64-bit one; Wine stands in for Windows there, which they never ran on.
;
; HelpersDir names the folder that holds Kestrane.exe and Halvicor.exe: an absolute path, or one relative
; to this script's folder, which is the default (makensis reads the script from its own folder). From the
; release archive:
;
;     makensis -DHelpersDir=..\..\bin "-DOUTPUT=%CD%\helpers-setup.exe" examples\installer\helpers.nsi
;
; Copy the two sections' helper steps into your own script. This example installs per user, into the
; user's LocalAppData, and runs everything as the installing user. A per-machine installer
; (RequestExecutionLevel admin, $PROGRAMFILES64) runs the helpers elevated, as the account that elevated
; it: they look for their diagnostic marker folder in that account's %TEMP%.
;
; An upgrade, a newer installer run over an older installation, runs the "Helpers" section again and not
; the uninstaller: Halvicor 0 runs only when the product, and its camera, is removed.

!ifdef InstallerTarget
  Target ${InstallerTarget}
!endif
Unicode true
RequestExecutionLevel user

!include "LogicLib.nsh"
!include "x64.nsh"

!ifndef HelpersDir
  !define HelpersDir "."
!endif
!ifndef OUTPUT
  !define OUTPUT "helpers-setup.exe"
!endif

Name "QOR Tavro Helpers Example"
OutFile "${OUTPUT}"
InstallDir "$LOCALAPPDATA\QorTavroHelpersExample"

; Halvicor's exit code: 1 once it has broadcast, 0 for a bad argument. Neither fails the installation;
; both are worth a line in the installation's log. nsExec runs it hidden and waits for it: no console
; window shows on the user's desktop, and its exit code comes back on the stack.
!macro RunHalvicor ARGUMENT
  nsExec::Exec '"$INSTDIR\Halvicor.exe" ${ARGUMENT}'
  Pop $0
  ${If} $0 == "error"
    DetailPrint "Halvicor.exe ${ARGUMENT} could not be started"
  ${ElseIf} $0 == 1
    DetailPrint "Halvicor.exe ${ARGUMENT}: the applications were told"
  ${ElseIf} $0 == 0
    DetailPrint "Halvicor.exe ${ARGUMENT}: bad argument, nothing was broadcast"
  ${Else}
    DetailPrint "Halvicor.exe ${ARGUMENT}: unexpected exit code $0"
  ${EndIf}
!macroend

Section "Helpers"
  SetOutPath "$INSTDIR"
  File "${HelpersDir}\Kestrane.exe"
  File "${HelpersDir}\Halvicor.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Kestrane watches the default audio endpoints for about five seconds from its start: started without
  ; waiting, right before the devices are added, it keeps watching while they come. ExecWait would see it
  ; done before the devices came, and it would protect nothing. It always exits 0. ExecShell with SW_HIDE
  ; starts it without waiting and with its console hidden: Exec would show the console for its whole run,
  ; and a user who closed that window would end Kestrane.
  ExecShell "" '"$INSTDIR\Kestrane.exe"' "" SW_HIDE

  ; A 32-bit installer sees the 32-bit system folder (SysWOW64) as $SYSDIR and wherever it names
  ; System32: pnputil.exe and driver files would reach the 32-bit system, or not be found. The device
  ; step runs with that redirection off; the rest of the installer needs it on.
  ${DisableX64FSRedirection}
  ; Your product adds its devices here: its drivers and the virtual camera.
  ${EnableX64FSRedirection}

  ; Then every running application is told that the camera has come.
  !insertmacro RunHalvicor 1
SectionEnd

Section "Uninstall"
  ; Your product removes its virtual camera here; then the applications are told that it has gone, while
  ; Halvicor.exe is still there to tell them.
  !insertmacro RunHalvicor 0

  Delete "$INSTDIR\Kestrane.exe"
  Delete "$INSTDIR\Halvicor.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
