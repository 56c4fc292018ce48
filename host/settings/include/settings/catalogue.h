// The catalogue of the host's user-visible texts: each entry is a key of section
// "Strings" (tag "local") with its English default, either a plain text or a list in
// comma-list syntax whose items callers pick by position. Every call looks the text
// up again, so a text fetched after a language reload is in the new language.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

// T(key, english) is a text entry; L(key, items, english) a list entry whose English
// default, written in comma-list syntax, has that many items. Catalogue order.
#define CAPDECK_CATALOGUE_STRINGS(T, L)                                                            \
    T(LanguageChanged, "The selected language will be set at next programm restart.")              \
    T(Information, "Information")                                                                  \
    T(ErrorCaption, "Error")                                                                       \
    T(ErrorNoXML, "This application requires the MSXML version 4.0. Please install the MSXML "     \
                  "4.0 and run this application again. To download MSXML visit "                   \
                  "https://www.microsoft.com/download")                                            \
    T(ErrorXMLString, "Language files not found")                                                  \
    L(MenuString, 13,                                                                              \
      "File,Options,Exit,Camera,\"Capture to TWAIN\",Settings,Select...,Help,Help,About...,"       \
      "Reconnect,\"Capture to File\",\"Time Lapse Capture\"")                                      \
    L(PreviewShotString, 3, "\"Preview Shot\",\"Show Preview\",Refresh")                           \
    L(PreviewOrString, 5,                                                                          \
      "\"Auto, Use Camera Sensor\",\"Portrait Rotation, 90 CCW\",\"Portrait Rotation, 90 CW\","    \
      "\"Inverted Rotation, 180\",\"Rotation Off\"")                                               \
    L(CameraPreviewString, 3,                                                                      \
      "\"Viewfinder Off\",\"Viewfinder to LCD\",\"Viewfinder to Video Out\"")                      \
    T(PopupExit, "Exit")                                                                           \
    T(ActivateString, "Open")                                                                      \
    T(ShowSettings, "Show Settings")                                                               \
    T(HideSettings, "Hide Settings")                                                               \
    T(HelpErrorMessage, "Cannot find help file.")                                                  \
    T(CannotConnectMessage, "Cannot connect camera.")                                              \
    T(InitCameraMessage, "Initializing camera...")                                                 \
    T(IntiLibMessage, "Loading ")                                                                  \
    T(DownloadingProgressMessage, "Downloading file from camera...")                               \
    T(WriteFileMessage, "Transfering file...")                                                     \
    T(StatusSetParam, "Setting up parameter")                                                      \
    T(StatusGetParam, "Reading parameter")                                                         \
    T(FromName, "from")                                                                            \
    T(LoadReleaseMessage, "Taking picture...")                                                     \
    T(ProcessImageMes, "Image Processing...")                                                      \
    T(ProgressString, "Progress")                                                                  \
    T(LoadForm, "LoadForm")                                                                        \
    T(SelectCameraName, "Select camera")                                                           \
    T(CameraErrorName, "N/A")                                                                      \
    T(CancelButtonString, "Cancel")                                                                \
    T(OptionsName, "Options")                                                                      \
    L(OptTabsStrings, 4, "General,Processing,\"Save file\",Language")                              \
    L(Options1, 3,                                                                                 \
      "\"Close on capture\",\"Hide to tray instead of close\",\"Restore settings values on "       \
      "start\"")                                                                                   \
    L(Options2, 4,                                                                                 \
      "\"Show settings on start:\",\"Restore last state\",\"Always show\",\"Always hide\"")        \
    L(SaveFileString, 9,                                                                           \
      "\"Directory in which to save images:\",\"Filename prefix:\",\"Next image:\","               \
      "\"Separate directory for:\",\"Flattern date \",Year,Month,Day,\"Reset counter\"")           \
    L(ProcessingString, 8,                                                                         \
      "\"Image processing\",\" Show processing window: \",Never,Always,\"Show if necessary\","     \
      "\"Auto face detection:\",\"Face tracking on preview \",\"Tracking speed\"")                 \
    T(AutoFaceMessage, "Auto Face Detection")                                                      \
    T(ASKFileCBCaption, "Ask before saving")                                                       \
    T(ErrorDirString, "Please specify directory to save file")                                     \
    T(ErrorSimbString, "File name must not include next simbols: / \\ * : < > ? \" |")             \
    T(AboutName, "About ")                                                                         \
    T(ComponentsTitle, "Component version:")                                                       \
    T(OpenCVString, "This application uses open source computer vision library")                   \
    T(TLCWindowName, "Time Lapse Capture")                                                         \
    L(TLCStrings, 6,                                                                               \
      "\"Number of shots:\",\"Delay in seconds:\",\"Shots done:\",\"Time to next shot:\","         \
      "\"Shots remaining:\",\"Status:\"")                                                          \
    L(TLCButtonsStrings, 5, "Start,Pause,Cancel,Stop,Continue")                                    \
    L(TLCStatusStrings, 10,                                                                        \
      "Shooting...,Downloading...,Processing...,Waiting,Paused,Stopped,Completed,"                 \
      "Initialization,Stopping...,Saving...")                                                      \
    T(TLCWarningTimeString, "WARNING! Time delay requested is too short. Increment delay or "      \
                            "reduce the resolution.")                                              \
    T(TLCWarningCameraString, "WARNING! Camera input/output error. Check camera and connection.")  \
    T(TLCWarningPauseString,                                                                       \
      "WARNING! Capturing paused by user. Click Continue button to continue capturing.")           \
    T(TLCWarningStopString, "WARNING! Capturing canceled by user.")

// The crash reporter's texts, in the order in which they are set.
#define CAPDECK_CATALOGUE_MADEXCEPT(T)                                                             \
    T(TitleBar, "%appname%")                                                                       \
    T(SendBtnCaption, "send bug report")                                                           \
    T(SaveBtnCaption, "save bug report")                                                           \
    T(PrintBtnCaption, "print bug report")                                                         \
    T(ExceptMsg, "An error occurred in the application")                                           \
    T(FrozenMsg, "The application seems to be frozen")                                             \
    T(BitFaultMsg, "The file %modname% seems to be corrupt!")                                      \
    T(ShowBtnCaption, "show bug report")                                                           \
    T(ContinueBtnCaption, "continue application")                                                  \
    T(RestartBtnCaption, "restart application")                                                    \
    T(CloseBtnCaption, "close application")                                                        \
    T(OkBtnCaption, "&OK")                                                                         \
    T(DetailsBtnCaption, "&Details")                                                               \
    T(PleaseWaitTitle, "Information")                                                              \
    T(PleaseWaitText, "Please wait a moment...")                                                   \
    T(MailSubject, "bug report")                                                                   \
    T(MailBody, "please find the bug report attached")                                             \
    T(SendBoxTitle, "Sending bug report...")                                                       \
    T(PrepareAttachMsg, "Preparing attachments...")                                                \
    T(MxLookupMsg, "Searching for mail server...")                                                 \
    T(ConnectMsg, "Connecting to server...")                                                       \
    T(AuthMsg, "Authentication...")                                                                \
    T(SendMailMsg, "Sending mail...")                                                              \
    T(FieldsMsg, "Setting fields...")                                                              \
    T(SendAttachMsg, "Sending attachments...")                                                     \
    T(SendFinalizeMsg, "Finalizing...")                                                            \
    T(SendFailureMsg, "Sorry, sending the bug report did not work.")

namespace catalogue {

inline constexpr const char* kTag = "local";
inline constexpr const char* kStringsSection = "Strings";
inline constexpr const char* kMadExceptSection = "LanguageMadExcept";

enum class Kind { Text, List };

struct Entry {
    const char* section;
    const char* key;
    const char* english; // lists: in comma-list syntax
    Kind kind;
    int items; // lists: the number of items every translation must keep
};

// All entries of section "Strings", in catalogue order.
std::span<const Entry> StringEntries();
// All entries of section "LanguageMadExcept", in the order they are set.
std::span<const Entry> MadExceptEntries();

// The entry's text in the current language (the English default as fallback).
std::string Text(const Entry& entry);
// The text split into its items.
std::vector<std::string> List(const Entry& entry);
// Key and text of every crash-reporter entry, in order.
std::vector<std::pair<std::string, std::string>> MadExceptTexts();

#define CAPDECK_CATALOGUE_DECLARE_TEXT(key, english) std::string key();
#define CAPDECK_CATALOGUE_DECLARE_LIST(key, items, english) std::vector<std::string> key();
CAPDECK_CATALOGUE_STRINGS(CAPDECK_CATALOGUE_DECLARE_TEXT, CAPDECK_CATALOGUE_DECLARE_LIST)
#undef CAPDECK_CATALOGUE_DECLARE_TEXT
#undef CAPDECK_CATALOGUE_DECLARE_LIST

} // namespace catalogue
