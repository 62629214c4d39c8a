#pragma once
// The string table: every text the program shows to a person (captions the
// code sets, messages, errors meant for the user) lives here and is read
// through ResString, which passes it through ExpandResString (the disc's
// substitutions, "\n" as a line break). Placeholders are filled afterwards
// with FormatText: ResText(TStr::ImageOfCount, {3, 12}).
//
// To add a text: a name in TStr and its line in the table in strings.cpp, in
// the same order; the build fails when one is missing or out of place.
#include <QString>
#include <QVariantList>

enum class TStr : int {
    // Start-up and the main window
    RollSelection,            // section captions
    Thumbnails,
    PhotoView,
    NoImagesTerminating,      // no picture folder or no roll
    NoImages,                 // SelectRoll without a roll
    ReturnToFotavo,           // the quit caption when started by the disc's viewer
    QuitProgram,
    ClickOnRoll,
    ClickOnThumbnail,
    FeatureNotAvailable,      // %1 the feature, until its window is built
    FeaturePrinting,
    FeatureInstall,
    FeatureUpload,
    RotationsNotSaved,        // %1 what could not be saved and why
    // Full view
    LoadingImage,             // followed by the photo's number
    ImageOfCount,             // %1!d! photo number, %2!d! photo count
    NoImagesIndex,
    // Slideshow
    SlideshowCaption,
    NoImageFilesForRoll,
    EffectWipeDiamonds,       // transition effect names, in the effect table's order
    EffectWipeSpin,
    EffectRandomWipe,
    EffectSpinClockwise,
    EffectSpinSymmetric,
    EffectPushDown,
    EffectRandomPush,
    EffectSlideDiagonal,
    EffectSlideSquaresIn,
    EffectMeltLeft,
    EffectMeltRight,
    EffectRandomLines,
    EffectRandomBlocks,
    EffectCircleHorizontalInterlace,
    // Settings, skins and customization
    UnableToWriteTo,          // %s the file
    CantFindFile,             // %1 the skin group
    CantMakeWorkingCopy,      // %1 the temporary folder
    // Printing
    CreatingIndexPrint,
    PrintingIndexImage,       // %1!d! photos done, %2!d! photo count
    IndexPrintTitle,          // the library's title atop each sheet
    PrintDocumentTitle,       // the printer's document name
    IndexPrintFailed,         // %1 the reason below
    PrintNotSupported,
    PrintNoDevice,
    PrintNoPictures,
    PrintIndexFailed,
    PrintPictureFailed,
    PrintUnknownError,        // %1!d! the library's result
    IndexPrintCancelled,
    PrintingImages,           // the status window's caption of a photo print
    PrintingImageFile,        // %1 file, %2!d! page, %3!d! page count
    PhotoNotPrinted,          // %1 the photo's file name
    // Install
    InstallCaption,
    RollNameCaption,
    DestinationCaption,
    PhotoSizesCaption,
    DisabledSizesExplanation,
    InstallButtonCaption,
    CloseButtonCaption,
    SizeTiny,                 // the size options' labels, Tiny to ExLarge
    SizeThumbnail,
    SizeSmall,
    SizeMedium,
    SizeLarge,
    SizeExtraLarge,
    SizeHintTiny,             // their hints
    SizeHintThumbnail,
    SizeHintSmall,
    SizeHintMedium,
    SizeHintLarge,
    SizeHintExtraLarge,
    RollsFolder,
    DefaultViewRollExe,
    DefaultShortcutFolder,
    DefaultDestination,
    EnterRollName,
    RollAlreadyExists,        // %1 roll name, %2 destination
    UnableToCreateDirectory,
    CouldNotCreateFolder,
    BadRollName,              // %1 the name
    DestinationNotAbsolute,   // %1 the destination as typed
    CannotWriteTo,            // %1 folder
    NotEnoughSpace,           // %1 folder, %2 MB needed, %3 MB free
    CouldNotCopy,             // %1 file, %2 the reason
    PreparingInstall,
    InstallingPhotos,
    InstallCanceled,
    InstallComplete,
    // The folder browser
    BrowserCounts,            // %d folders, %d files, %d K
    BrowserBindingFailed,     // %1 the folder
    BrowserDesktop,
    BrowserHome,
    BrowserFileSystem,
    // The upload wizard
    WizardCaption,
    PageSelect,
    PageConfig,
    PageEmail,
    PageUpload,
    SelectImagesToUpload,
    SelectImagesToEmail,
    SelectAllCaption,
    SelectNoneCaption,
    LoginPromptText,          // %1 the account type
    UserNameCaption,
    PasswordCaption,
    LoginCaption,
    NewAccountWarning,
    NewAccountCaption,
    UploadPhotosTo,
    ANewShoebox,
    AnExistingShoebox,
    AccountNumber,            // followed by the number
    EnterNewShoebox,
    ChooseShoebox,
    UploadingTo,              // %1 the shoebox
    PreparingImages,
    UploadingPicture,         // %1!d! picture, %2!d! count
    TotalProgress,
    EmailStatusCaption,
    UploadCanceled,
    UploadComplete,
    PhotoNotPrepared,         // %1 the photo, %2 why
    EmailPicturesTo,
    FromCaption,
    FromHint,
    PreviousCaption,
    NextCaption,
    UploadCaption,
    CancelCaption,
    // The upload library's results 0 to 10 (codes above are the library's own texts)
    UploadResult0, UploadResult1, UploadResult2, UploadResult3, UploadResult4, UploadResult5,
    UploadResult6, UploadResult7, UploadResult8, UploadResult9, UploadResult10,
    // The wizard's e-mail page
    RecipientsCaption,
    SubjectCaption,
    MessageCaption,
    SubjectPrompt,            // the subject field's first text
    NeedFromAddress,
    NeedValidFromAddress,
    NeedRecipient,
    BlankRecipient,
    NeedValidRecipient,
    SendingEmailTitled,
    SendFailed,
    // The recipient list
    AddresseeTo,
    AddresseeCc,
    AddresseeBcc,
    AddresseeMenuTo,
    AddresseeMenuCc,
    AddresseeMenuBcc,

    Count_                    // keep last
};

// The text as stored in the table, before substitution.
QString RawResString(TStr id);
// The text after ExpandResString.
QString ResString(TStr id);
// ResString filled by FormatText.
QString ResText(TStr id, const QVariantList& args);
