#include "shell/strings.h"
#include "shell/customize.h"
#include <array>

namespace {

struct TEntry {
    TStr Id;
    const char* Text;  // UTF-8
};

// In the order of TStr (the compiler checks it).
constexpr TEntry Table[] = {
    {TStr::RollSelection, "Roll Selection"},
    {TStr::Thumbnails, "Thumbnails"},
    {TStr::PhotoView, "Photo View"},
    {TStr::NoImagesTerminating, "Unable to find any images. Application terminating"},
    {TStr::NoImages, "Unable to find any images."},
    {TStr::ReturnToFotavo, "Return to %Fotavo%"},
    {TStr::QuitProgram, "Quit Program"},
    {TStr::ClickOnRoll, "Click on a roll to view your images"},
    {TStr::ClickOnThumbnail, "Click on a thumbnail to view a photo."},
    {TStr::FeatureNotAvailable, "%1 is not available yet in this version of %AppName%."},
    {TStr::FeaturePrinting, "Printing"},
    {TStr::FeatureInstall, "Installing to the hard disk"},
    {TStr::FeatureUpload, "Uploading and e-mailing photos"},
    {TStr::RotationsNotSaved, "%1\n\nThe photos you turned will show unturned next time."},
    {TStr::LoadingImage, "Loading Image "},
    {TStr::ImageOfCount, "Image %1!d! of %2!d!"},
    {TStr::NoImagesIndex, "No Images"},
    {TStr::SlideshowCaption, "Slideshow"},
    {TStr::NoImageFilesForRoll, "No image files found for this roll"},
    {TStr::EffectWipeDiamonds, "Wipe Diamonds"},
    {TStr::EffectWipeSpin, "Wipe Spin"},
    {TStr::EffectRandomWipe, "Random Wipe"},
    {TStr::EffectSpinClockwise, "Spin Clockwise"},
    {TStr::EffectSpinSymmetric, "Spin Symmetric"},
    {TStr::EffectPushDown, "Push Down"},
    {TStr::EffectRandomPush, "Random Push"},
    {TStr::EffectSlideDiagonal, "Slide Diagonal"},
    {TStr::EffectSlideSquaresIn, "Slide Squares In"},
    {TStr::EffectMeltLeft, "Melt Left"},
    {TStr::EffectMeltRight, "Melt Right"},
    {TStr::EffectRandomLines, "Random Lines"},
    {TStr::EffectRandomBlocks, "Random Blocks"},
    {TStr::EffectCircleHorizontalInterlace, "Circle Horizontal Interlace"},
    {TStr::UnableToWriteTo, "Unable to write to %s"},
    {TStr::CantFindFile, "Can't find file \"%1\""},
    {TStr::CantMakeWorkingCopy, "Can't create the temporary folder %1 for the customization file"},
    {TStr::CreatingIndexPrint, "Creating index print..."},
    {TStr::PrintingIndexImage, "Creating index print...\\n\\nPrinting image %1!d! of %2!d!."},
    {TStr::IndexPrintTitle, "%AppName% Index Print"},
    {TStr::PrintDocumentTitle, "%AppName% document"},
    {TStr::IndexPrintFailed, "%AppName% was unable to create an index print.  The error is: %1\\n\\nPlease check your "
                             "print configuration and try again."},
    {TStr::PrintNotSupported, "This feature is not supported."},
    {TStr::PrintNoDevice, "The default print device could not be detected."},
    {TStr::PrintNoPictures, "No pictures were specified for printing."},
    {TStr::PrintIndexFailed, "The picture index failed to print."},
    {TStr::PrintPictureFailed, "A picture failed to print."},
    {TStr::PrintUnknownError, "An unknown index print error (%1!d!) occured."},
    {TStr::IndexPrintCancelled, "Your index print was cancelled."},
    {TStr::PrintingImages, "Printing Images"},
    {TStr::PrintingImageFile, "Printing image \"%1\"\\n\\nFile %2!d! of %3!d!"},
    {TStr::PhotoNotPrinted, "The photo %1 could not be printed. Please check your print configuration and try again."},
    {TStr::InstallCaption, "Install Your Photos"},
    {TStr::RollNameCaption, "Roll Name"},
    {TStr::DestinationCaption, "Destination Directory"},
    {TStr::PhotoSizesCaption, "Photo Sizes"},
    {TStr::DisabledSizesExplanation, "Disabled sizes indicate resolutions which are unavailable on your CD."},
    {TStr::InstallButtonCaption, "&Install"},
    {TStr::CloseButtonCaption, "Close"},
    {TStr::SizeTiny, "Tiny"},
    {TStr::SizeThumbnail, "Thumbnail"},
    {TStr::SizeSmall, "Small"},
    {TStr::SizeMedium, "Medium"},
    {TStr::SizeLarge, "Large"},
    {TStr::SizeExtraLarge, "Extra Large"},
    {TStr::SizeHintTiny, "96 x 64 - This very small, low-resolution image shows only the basics of the photo.\\n\\nThis "
                         "image size is best suited for creating CD jewel case coversor other small photo indexes."},
    {TStr::SizeHintThumbnail, "192 x 128 - Requiring minimal download time,\\nthis image size is recommended for general "
                              "emailing and Web site posting.\\n\\nNot recommended for prints other than index prints."},
    {TStr::SizeHintSmall, "384 x 256 - This resolution is excellent quality for emailing\\nand Web site posting with a "
                          "higher-speed Internet connection\\n(minimum 56K modem; DSL, cable modem, or T-1 line "
                          "preferred).\\n\\nThis image size is suitable for making low-resolution wallet-size prints."},
    {TStr::SizeHintMedium, "768x 512 - This medium resolution image is excellent for on-screen viewing as well as "
                           "creating small\\n (3x5 or smaller) prints from your home printer.\\n\\nNot recommended for "
                           "emailing or Web site posting due to increase in load time."},
    {TStr::SizeHintLarge, "1536 x 1024 - This is a high-resolution image good for creating premium-quality 4x6 or "
                          "5x7\\n digital prints from your home printer.\\n\\nNot recommended for emailing or Web site "
                          "posting due to increase in load time."},
    {TStr::SizeHintExtraLarge, "3072 x 2048 - Intended for making large (8x10) professional-quality digital prints,"
                               "\\nthis resolution is only available on the Super-Res Fotavo.\\n\\nNot recommended for "
                               "emailing or Web site posting due to substantial increase in load time."},
    {TStr::RollsFolder, "Rolls"},
    {TStr::DefaultViewRollExe, "View Roll.exe"},
    {TStr::DefaultShortcutFolder, "Vantu\\Fotavo Photos"},
    {TStr::DefaultDestination, "c:\\My Photos\\"},
    {TStr::EnterRollName, "Please make sure you have entered a name for the roll."},
    {TStr::RollAlreadyExists, "\"%1\" already exists in %2.\\n\\n Please enter a new descriptive name."},
    {TStr::UnableToCreateDirectory, "Unable to create directory"},
    {TStr::CouldNotCreateFolder, "Cound not create requested folder"},
    {TStr::BadRollName, "\"%1\" cannot be used as a roll name.\\n\\nPlease leave out / \\ : .. and a leading dot."},
    {TStr::DestinationNotAbsolute, "\"%1\" is not a full folder path.\\n\\nPlease enter one such as ~/Pictures/My Photos."},
    {TStr::CannotWriteTo, "You cannot write to %1."},
    {TStr::NotEnoughSpace, "There is not enough free space in %1.\\n\\nThe install needs %2 MB; %3 MB are free."},
    {TStr::CouldNotCopy, "Could not copy %1.\\n\\n%2"},
    {TStr::PreparingInstall, "Preparing to install..."},
    {TStr::InstallingPhotos, "Installing your photos..."},
    {TStr::InstallCanceled, "Install canceled."},
    {TStr::InstallComplete, "Install complete."},
    {TStr::BrowserCounts, "%d folder(s).  %d file(s).  %d K."},
    {TStr::BrowserBindingFailed, "Cannot create binding for object \"%1\""},
    {TStr::BrowserDesktop, "Desktop"},
    {TStr::BrowserHome, "Home"},
    {TStr::BrowserFileSystem, "File System"},
    {TStr::WizardCaption, "Upload Wizard"},
    {TStr::PageSelect, "Select"},
    {TStr::PageConfig, "Config"},
    {TStr::PageEmail, "Email"},
    {TStr::PageUpload, "Upload"},
    {TStr::SelectImagesToUpload, "Select images to upload:"},
    {TStr::SelectImagesToEmail, "Select images to email:"},
    {TStr::SelectAllCaption, "Select All"},
    {TStr::SelectNoneCaption, "Select None"},
    {TStr::LoginPromptText, "Please login to access your %1 account."},
    {TStr::UserNameCaption, "User name:"},
    {TStr::PasswordCaption, "Password:"},
    {TStr::LoginCaption, "Login"},
    {TStr::NewAccountWarning, "If you don't have an account click \"New Account\""},
    {TStr::NewAccountCaption, "New Account"},
    {TStr::UploadPhotosTo, "Upload photos to:"},
    {TStr::ANewShoebox, "a new shoebox"},
    {TStr::AnExistingShoebox, "an existing shoebox"},
    {TStr::AccountNumber, "Your Account# is : "},
    {TStr::EnterNewShoebox, "Enter the name of a new shoebox"},
    {TStr::ChooseShoebox, "Please choose a shoebox, or enter a new one"},
    {TStr::UploadingTo, "Uploading to \"%1\""},
    {TStr::PreparingImages, "Preparing images"},
    {TStr::UploadingPicture, "Uploading picture %1!d! of %2!d!"},
    {TStr::TotalProgress, "Total Progress"},
    {TStr::EmailStatusCaption, "Status:"},
    {TStr::UploadCanceled, "Upload Canceled"},
    {TStr::UploadComplete, "Upload complete.\\n\\nWould you like to see the contents of your shoebox?"},
    {TStr::PhotoNotPrepared, "The photo %1 could not be prepared for sending:\\n\\n%2"},
    {TStr::EmailPicturesTo, "Email the following pictures to:"},
    {TStr::FromCaption, "From:"},
    {TStr::FromHint, "Enter your email address here."},
    {TStr::PreviousCaption, "< Previous"},
    {TStr::NextCaption, "Next >"},
    {TStr::UploadCaption, "Upload"},
    {TStr::CancelCaption, "Cancel"},
    {TStr::UploadResult0, "OK"},
    {TStr::UploadResult1, "Socket initialization failed."},
    {TStr::UploadResult2, "Socket creation failed."},
    {TStr::UploadResult3, "Failed to connect to server."},
    {TStr::UploadResult4, "Timed out waiting to connect."},
    {TStr::UploadResult5, "Not connected."},
    {TStr::UploadResult6, "Timed out."},
    {TStr::UploadResult7, "A invalidPacket was recieved."},
    {TStr::UploadResult8, "User account was not found."},
    {TStr::UploadResult9, "File Not Found"},
    {TStr::UploadResult10, "Upload was cancelled"},
    {TStr::RecipientsCaption, "Recipients:"},
    {TStr::SubjectCaption, "Subject:"},
    {TStr::MessageCaption, "Message:"},
    {TStr::SubjectPrompt, "                                   Enter Subject Here"},
    {TStr::NeedFromAddress, "You must enter your email address in the \"From\" field."},
    {TStr::NeedValidFromAddress, "You must enter a VALID email address in the \"From\" field."},
    {TStr::NeedRecipient, "You must enter a \"Recipient\" Address before continuing."},
    {TStr::BlankRecipient, "Blank recipients should be deleted before continuing."},
    {TStr::NeedValidRecipient,
     "You must enter a valid Recipient Address before continuing. (Did you forget the \"@\" character?)"},
    {TStr::SendingEmailTitled, "Sending Email Titled:"},
    {TStr::SendFailed, "Could not send your email.  Please connect to the internet and try again."},
    {TStr::AddresseeTo, "To"},
    {TStr::AddresseeCc, "Cc"},
    {TStr::AddresseeBcc, "Bcc"},
    {TStr::AddresseeMenuTo, "&To"},
    {TStr::AddresseeMenuCc, "&Cc"},
    {TStr::AddresseeMenuBcc, "&Bc"},
};

static_assert(std::size(Table) == size_t(TStr::Count_), "every TStr needs its line in the table");

constexpr bool InOrder() {
    for (size_t i = 0; i < std::size(Table); ++i)
        if (int(Table[i].Id) != int(i)) return false;
    return true;
}
static_assert(InOrder(), "the table's lines follow the order of TStr");

} // namespace

QString RawResString(TStr id) {
    const int i = int(id);
    if (i < 0 || i >= int(std::size(Table))) return {};
    return QString::fromUtf8(Table[i].Text);
}

QString ResString(TStr id) { return ExpandResString(RawResString(id)); }

QString ResText(TStr id, const QVariantList& args) { return FormatText(ResString(id), args); }
