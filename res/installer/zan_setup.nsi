; res/installer/zan_setup.nsi
; The Windows installer: a 32-bit Unicode NSIS script built on Linux by makensis as part of
; the product build. Per-machine install into Program Files (x86)\Zan Group Scanner with a
; Start-menu shortcut, an optional desktop shortcut and an "Apps and features" entry. The
; uninstaller removes exactly what was installed and leaves settings, log and scans alone.
;
; Defines given by the build: EXE_DIR (folder of ZanGroupScanner.exe and zancli.exe),
; README (the read-me file), OUT_DIR (where the setup program is written).

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

; The version comes from the program's own version record.
!getdllversion "${EXE_DIR}\ZanGroupScanner.exe" ZAN_VERSION_
!define VERSION "${ZAN_VERSION_1}.${ZAN_VERSION_2}.${ZAN_VERSION_3}"
!define PRODUCT "Zan Group Scanner"
!define PUBLISHER "Zan Group"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZanGroupScanner"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_DIR}\ZanGroupScanner-Setup-${VERSION}.exe"
InstallDir "$PROGRAMFILES32\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${ZAN_VERSION_1}.${ZAN_VERSION_2}.${ZAN_VERSION_3}.${ZAN_VERSION_4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\ZanGroupScanner.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback; the system's interface language picks the other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Arabic"

LangString SEC_PROGRAM ${LANG_ENGLISH} "Zan Group Scanner (required)"
LangString SEC_PROGRAM ${LANG_ARABIC} "ماسح Zan Group (مطلوب)"
LangString SEC_DESKTOP ${LANG_ENGLISH} "Desktop shortcut"
LangString SEC_DESKTOP ${LANG_ARABIC} "اختصار على سطح المكتب"
LangString DESC_PROGRAM ${LANG_ENGLISH} "The scanning program, the zancli console companion and a short read-me."
LangString DESC_PROGRAM ${LANG_ARABIC} "برنامج المسح الضوئي وأداة سطر الأوامر zancli وملف تعليمات قصير."
LangString DESC_DESKTOP ${LANG_ENGLISH} "Puts a shortcut to the program on the desktop of every user."
LangString DESC_DESKTOP ${LANG_ARABIC} "يضع اختصارًا للبرنامج على سطح المكتب لكل المستخدمين."

Section "!$(SEC_PROGRAM)" SecProgram
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${EXE_DIR}\ZanGroupScanner.exe"
    File "${EXE_DIR}\zancli.exe"
    File "/oname=ReadMe.txt" "${README}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\ZanGroupScanner.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ZanGroupScanner.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "$(SEC_DESKTOP)" SecDesktop
    SetShellVarContext all
    CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\ZanGroupScanner.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_PROGRAM)
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} $(DESC_DESKTOP)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    ; A 32-bit program: its registry entry lives in the 32-bit view on 64-bit Windows,
    ; where "Apps and features" reads it too.
    SetRegView 32
FunctionEnd

Function un.onInit
    SetRegView 32
FunctionEnd

; Only what the installer put there: settings, log and scans are the user's.
Section "Uninstall"
    SetShellVarContext all
    Delete "$DESKTOP\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    Delete "$INSTDIR\ZanGroupScanner.exe"
    Delete "$INSTDIR\zancli.exe"
    Delete "$INSTDIR\ReadMe.txt"
    Delete "$INSTDIR\Uninstall.exe"
    ; Removed only when empty: a portable-style settings file or log left there by the
    ; user stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
