#include "shell/customize.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "shell/pictures.h"
#include "shell/startup.h"
#include "shell/strings.h"
#include "shell/tracelog.h"
#include "suite/xres/xres.h"
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMetaProperty>
#include <QPixmap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <mutex>

namespace {

struct TCustomState {
    std::unique_ptr<QStringList> Substitutions;
    std::unique_ptr<TIniFile> Ini;
    std::unique_ptr<QTemporaryDir> WorkFolder;
    std::optional<QString> AppTitle;       // read once from [Application] "__Caption"
    std::optional<QString> ApplicationTitle;  // set by "ChangeText" on the application
};

// Marks a component the ".Hidden" section named.
constexpr const char* HiddenProperty = "lumoraHiddenByCustomization";

// Substitute may run on any thread; the state changes only on the main thread.
std::recursive_mutex StateLock;

TCustomState& State() {
    // Destroyed at exit, which removes the working copy even when
    // ShutdownCustomization was not called.
    static TCustomState state;
    return state;
}

bool IsAsciiAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

// Every word's first letter upper case, the rest lower case.
QString CapitalInitials(const QString& text) {
    QString out = text.toLower();
    bool start = true;
    for (QChar& c : out) {
        if (c.isLetterOrNumber()) {
            if (start) c = c.toUpper();
            start = false;
        } else {
            start = true;
        }
    }
    return out;
}

// Replaces every Before by After unless the text would outgrow
// MaxSubstitutedLength: values that contain other keys could otherwise make a
// text grow without end, key after key.
void BoundedReplace(QString& text, const QString& before, const QString& after, Qt::CaseSensitivity cs) {
    const qsizetype growth = after.size() - before.size();
    if (growth > 0) {
        const qsizetype count = text.count(before, cs);
        if (count == 0) return;
        if (text.size() + count * growth > MaxSubstitutedLength) {
            TraceLog::WarningMsg(QStringLiteral("Substitution of ") + before + QStringLiteral(" left out: the text would be too long"));
            return;
        }
    }
    text.replace(before, after, cs);
}

QString ReplaceWholeWord(QString text, const QString& key, const QString& value) {
    if (key.isEmpty()) return text;  // an empty key would match everywhere
    const qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0) return text;
    const qsizetype after = at + key.size();
    if ((at > 0 && IsAsciiAlnum(text[at - 1])) || (after < text.size() && IsAsciiAlnum(text[after])))
        return text;
    BoundedReplace(text, key, value, Qt::CaseSensitive);
    BoundedReplace(text, key.toUpper(), value, Qt::CaseSensitive);
    BoundedReplace(text, key.toLower(), value.toLower(), Qt::CaseSensitive);
    BoundedReplace(text, CapitalInitials(key), CapitalInitials(value), Qt::CaseSensitive);
    BoundedReplace(text, key, value, Qt::CaseInsensitive);
    return text;
}

QString NameOf(const QObject* o) {
    return o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className()) : o->objectName();
}

// Component Name among everything Owner holds, compared without regard to case.
QObject* FindComponent(QObject* owner, const QString& name) {
    if (name.isEmpty()) return nullptr;
    const QList<QObject*> all = owner->findChildren<QObject*>();
    for (QObject* o : all)
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0) return o;
    return nullptr;
}

// The meta-object property called Name (any case), or an invalid one.
QMetaProperty FindProperty(const QObject* o, const QString& name) {
    const QMetaObject* meta = o->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0) return p;
    }
    return {};
}

// The writable text property of a control: "text", else "Caption", else "title".
QMetaProperty TextProperty(const QObject* o) {
    for (const char* name : {"text", "Caption", "title"}) {
        const int i = o->metaObject()->indexOfProperty(name);
        if (i < 0) continue;
        const QMetaProperty p = o->metaObject()->property(i);
        if (p.isWritable() && p.metaType().id() == QMetaType::QString) return p;
    }
    return {};
}

// A control's text: a window's title, otherwise its text property.
bool SetControlText(QWidget* w, const QString& text) {
    if (w->isWindow()) {
        w->setWindowTitle(text);
        return true;
    }
    const QMetaProperty p = TextProperty(w);
    return p.isValid() && p.write(w, text);
}

void SetApplicationTitle(const QString& title) {
    {
        std::lock_guard<std::recursive_mutex> lock(StateLock);
        State().ApplicationTitle = title;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setApplicationDisplayName(title);
}

// Resizes to (W, H): the right and bottom edges move, except that a component
// aligned to the bottom (right) of its parent keeps its bottom (right) edge.
void ResizeTarget(QWidget* w, int width, int height) {
    QRect g = w->geometry();
    const int align = w->property("Align").isValid() ? w->property("Align").toInt() : Lumora::alNone;
    const int left = align == Lumora::alRight ? g.right() + 1 - width : g.left();
    const int top = align == Lumora::alBottom ? g.bottom() + 1 - height : g.top();
    const QWidget* parent = w->parentWidget();
    if (parent && parent->layout() && parent->layout()->indexOf(w) >= 0)
        w->setFixedSize(width, height);  // a layout would undo a plain resize
    else
        w->setGeometry(left, top, width, height);
}

// The picture a "ChangeImage" argument names; null when there is none.
QImage LoadScriptImage(const QString& argument) {
    const QStringList words = argument.split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) return {};
    if (!argument.contains(QLatin1String("dll"), Qt::CaseInsensitive)) {
        const QString path = FileBesideProgram(words.first(), QStringLiteral("ChangeImage"));
        return Platform::FileExists(path) ? LoadPictureFile(path) : QImage();
    }
    // A resource reference: the word holding the commas. Written after a
    // leading keyword ("Adjust Brand.dll,JPEG,0001") that word is dropped.
    QString reference;
    for (const QString& word : words) {
        if (word.contains(',')) {
            reference = word;
            break;
        }
    }
    if (reference.isEmpty()) reference = words.size() > 1 ? words[1] : words[0];
    const QStringList fields = reference.split(',');
    if (fields.size() >= 2 && fields[0].compare(QLatin1String("FILE"), Qt::CaseInsensitive) == 0) {
        const QString path = FileBesideProgram(fields[1], QStringLiteral("ChangeImage"));
        return Platform::FileExists(path) ? LoadPictureFile(path) : QImage();
    }
    const std::optional<QByteArray> data = LoadResourceSpec(reference);
    return data ? DecodePicture(*data) : QImage();
}

void ChangeImage(QObject* target, const QString& targetText, const QString& propertyName,
                 const QString& argument) {
    const QImage image = LoadScriptImage(argument);
    if (image.isNull()) {
        TraceLog::TraceMsg(QStringLiteral("No image for ") + targetText);
        return;
    }
    if (!propertyName.isEmpty()) {
        const QMetaProperty p = FindProperty(target, propertyName);
        if (!p.isValid() || !p.isWritable()) {
            TraceLog::WarningMsg(QStringLiteral("No picture property ") + propertyName + QStringLiteral(" on ") + targetText);
        } else if (p.metaType().id() == QMetaType::QImage) {
            p.write(target, image);
        } else if (p.metaType().id() == QMetaType::QPixmap) {
            p.write(target, QPixmap::fromImage(image));
        }
        // Other property types are left alone.
    }
    auto* widget = qobject_cast<QWidget*>(target);
    if (!widget) return;
    if (argument.contains(QLatin1String("AdjustToOffset"), Qt::CaseInsensitive))
        ResizeTarget(widget, image.width() + 8, image.height() + 8);
    else if (argument.contains(QLatin1String("Adjust"), Qt::CaseInsensitive))
        ResizeTarget(widget, image.width(), image.height());
}

void RunCommand(QObject* component, const QString& line) {
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) return;
    const QString target = line.left(eq);
    const QString rest = line.mid(eq + 1);
    const qsizetype blank = rest.indexOf(' ');
    const QString command = blank < 0 ? rest : rest.left(blank);
    const QString argument = blank < 0 ? QString() : rest.mid(blank + 1);
    const qsizetype dot = target.indexOf('.');
    const QString targetName = dot < 0 ? target : target.left(dot);
    const QString propertyName = dot < 0 ? QString() : target.mid(dot + 1);

    const bool isApplication = component == QCoreApplication::instance();
    QObject* object = nullptr;
    if (isApplication || (targetName.size() > 2 && targetName.startsWith(QLatin1String("__"))))
        object = component;
    else
        object = FindComponent(component, targetName);
    if (!object) {
        TraceLog::WarningMsg(QStringLiteral("Script command for non-existent target ") + target);
        return;
    }
    const auto cant = [&] {
        TraceLog::WarningMsg(QStringLiteral("Can't ") + command + QStringLiteral(" for target ") + target +
                             QStringLiteral(" of class ") + QString::fromLatin1(object->metaObject()->className()));
    };
    const bool changeText = command.compare(QLatin1String("ChangeText"), Qt::CaseInsensitive) == 0;
    const bool changeCaption = command.compare(QLatin1String("ChangeCaption"), Qt::CaseInsensitive) == 0;
    if (changeText || changeCaption) {
        if (auto* w = qobject_cast<QWidget*>(object)) {
            if (!SetControlText(w, argument)) cant();
        } else if (changeText && object == QCoreApplication::instance()) {
            SetApplicationTitle(argument);
        } else if (auto* action = qobject_cast<QAction*>(object)) {
            action->setText(argument);
        } else {
            cant();
        }
    } else if (command.compare(QLatin1String("ChangeImage"), Qt::CaseInsensitive) == 0) {
        ChangeImage(object, target, propertyName, argument);
    } else {
        TraceLog::WarningMsg(QStringLiteral("Unknown script command ") + command + QStringLiteral(" for target ") + target);
    }
}

void SubstituteTexts(QObject* o) {
    if (auto* w = qobject_cast<QWidget*>(o)) {
        if (w->isWindow()) {
            const QString title = Substitute(w->windowTitle());
            if (title != w->windowTitle()) w->setWindowTitle(title);
        }
        const QMetaProperty p = TextProperty(w);
        if (p.isValid()) {
            const QString text = p.read(w).toString();
            const QString changed = Substitute(text);
            if (changed != text) p.write(w, changed);
        }
        const QString hint = Substitute(w->toolTip());
        if (hint != w->toolTip()) w->setToolTip(hint);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        const QString text = Substitute(a->text());
        if (text != a->text()) a->setText(text);
        const QString hint = Substitute(a->toolTip());
        if (hint != a->toolTip()) a->setToolTip(hint);
    }
}

// Printf-like formatting of one argument; nothing when it does not fit.
std::optional<QString> FormatArgument(const QVariant& value, const QString& format) {
    static const QRegularExpression pattern(QStringLiteral("^([-0+ ]*)(\\d{0,3})(?:\\.(\\d{1,3}))?[hlLI]?(?:64)?([diuxXsc])$"));
    const QRegularExpressionMatch m = pattern.match(format);
    if (!m.hasMatch()) return std::nullopt;
    const QString flags = m.captured(1);
    const int width = m.captured(2).isEmpty() ? 0 : m.captured(2).toInt();
    const int precision = m.captured(3).isEmpty() ? -1 : m.captured(3).toInt();
    const QChar conversion = m.captured(4).at(0);
    const bool left = flags.contains('-');
    const bool zero = flags.contains('0') && !left;
    QString text;
    QString sign;
    bool numeric = false;
    if (conversion == 's') {
        if (!value.canConvert<QString>()) return std::nullopt;
        text = value.toString();
        if (precision >= 0) text.truncate(precision);
    } else if (conversion == 'c') {
        if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QChar) {
            const QString s = value.toString();
            if (s.size() != 1) return std::nullopt;
            text = s;
        } else {
            bool ok = false;
            const qlonglong code = value.toLongLong(&ok);
            if (!ok || code <= 0 || code > 0x10FFFF) return std::nullopt;
            const char32_t ch = char32_t(code);
            text = QString::fromUcs4(&ch, 1);
        }
    } else {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (!ok) return std::nullopt;
        numeric = true;
        if (conversion == 'd' || conversion == 'i') {
            text = QString::number(n < 0 ? -(n + 1) + 1ull : qulonglong(n));
            if (n < 0) sign = QStringLiteral("-");
            else if (flags.contains('+')) sign = QStringLiteral("+");
            else if (flags.contains(' ')) sign = QStringLiteral(" ");
        } else {
            // 32-bit values, as the message formatter has them.
            const quint32 u = quint32(n);
            text = conversion == 'u' ? QString::number(u) : QString::number(u, 16);
            if (conversion == 'X') text = text.toUpper();
        }
        if (precision >= 0 && text.size() < precision) text = QString(precision - text.size(), '0') + text;
    }
    const int pad = width - int(sign.size() + text.size());
    if (pad > 0) {
        if (left) return sign + text + QString(pad, ' ');
        if (zero && numeric && precision < 0) return sign + QString(pad, '0') + text;
        return QString(pad, ' ') + sign + text;
    }
    return sign + text;
}

} // namespace

bool LoadCustomFile() {
    TraceScope trace("LoadCustomFile");
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    TCustomState& s = State();
    if (!s.Substitutions) s.Substitutions = std::make_unique<QStringList>();
    if (s.Ini) return s.WorkFolder != nullptr;
    const QString file = AppState().AppDir + QStringLiteral("custom.ini");
    if (Platform::FileExists(file)) {
        // A private folder (mkdtemp, mode 0700) rather than a predictable name
        // in the shared temporary folder.
        auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/showcust-XXXXXX"));
        if (!folder->isValid()) {
            // The program still runs, as the disc made it, only not re-branded.
            TraceLog::WarningMsg(ResText(TStr::CantMakeWorkingCopy, {folder->path()}) +
                                 QStringLiteral(" (running without customization)"));
            s.Ini = std::make_unique<TIniFile>(QString());
            return false;
        }
        QFile::setPermissions(folder->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QString copy = folder->filePath(QStringLiteral("showcust.ini"));
        if (QFile::copy(file, copy)) {
            QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            s.Ini = std::make_unique<TIniFile>(copy, 0600);
            s.WorkFolder = std::move(folder);
            s.Ini->ReadSectionValues(QStringLiteral("Substitutions"), *s.Substitutions);
            return true;
        }
        // Read from a copy only, as above: without one, no customization.
        TraceLog::WarningMsg(QStringLiteral("Can't copy ") + file + QStringLiteral(" (running without customization)"));
        s.Ini = std::make_unique<TIniFile>(QString());
        return false;
    }
    s.Ini = std::make_unique<TIniFile>(file);
    return false;
}

const TIniFile* CustomIni() {
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    return State().Ini.get();
}

QString CustomWorkingCopy() {
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    const TCustomState& s = State();
    return s.WorkFolder && s.Ini ? s.Ini->FileName() : QString();
}

void CustomizeApplication() {
    TraceScope trace("CustomizeApplication");
    if (!LoadCustomFile()) return;
    QStringList lines;
    CustomIni()->ReadSectionValues(QStringLiteral("Application"), lines);
    if (QCoreApplication::instance()) CustomizeComponent(QCoreApplication::instance(), lines);
}

QString Substitute(const QString& text) {
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    QString out = text;
    if (const QStringList* list = State().Substitutions.get()) {
        for (const QString& line : *list) {
            const qsizetype eq = line.indexOf('=');
            if (eq < 0) continue;
            out = ReplaceWholeWord(out, line.left(eq), line.mid(eq + 1));
        }
    }
    // Without a title of the disc's the program's own name stands in: the
    // placeholder itself is never shown to anyone.
    QString title = GetAppTitle();
    if (title.isEmpty()) title = ApplicationTitle();
    out = ReplaceWholeWord(out, QStringLiteral("%AppName%"), title);
    return out;
}

void SetSubstitution(const QString& key, const QString& value) {
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    QStringList* list = State().Substitutions.get();
    if (!list || key.isEmpty()) return;
    const QString line = key + '=' + value;
    for (QString& existing : *list) {
        const qsizetype eq = existing.indexOf('=');
        if (eq >= 0 && existing.left(eq).compare(key, Qt::CaseInsensitive) == 0) {
            existing = line;
            return;
        }
    }
    list->append(line);
}

QString GetAppTitle() {
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    TCustomState& s = State();
    if (s.AppTitle) return *s.AppTitle;
    if (!s.Ini) return {};
    QString title = s.Ini->ReadString(QStringLiteral("Application"), QStringLiteral("__Caption"), QString());
    if (title.startsWith(QLatin1String("ChangeText "))) title.remove(0, 11);
    s.AppTitle = title;
    return title;
}

QString ApplicationTitle() {
    {
        std::lock_guard<std::recursive_mutex> lock(StateLock);
        if (State().ApplicationTitle) return *State().ApplicationTitle;
    }
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void CustomizeComponent(QObject* component, const QStringList& lines) {
    if (!component) return;
    TraceLog::TraceMsg(QStringLiteral("Customizing ") + NameOf(component));
    for (const QString& line : lines) {
        TraceLog::TraceMsg(QStringLiteral("Customization command ") + line);
        RunCommand(component, line);
    }
}

void FixupForm(QWidget* form) {
    if (!form) return;
    TraceScope trace("FixupForm");
    const QString name = form->objectName();
    TraceLog::TraceMsg(QStringLiteral("Fixing up ") + name);
    const TIniFile* ini = CustomIni();
    if (ini) {
        QStringList lines;
        ini->ReadSectionValues(name, lines);
        if (lines.isEmpty())
            TraceLog::TraceMsg(QStringLiteral("No fixup information for ") + name);
        else
            CustomizeComponent(form, lines);
    }
    SubstituteTexts(form);
    for (QObject* o : form->findChildren<QObject*>()) SubstituteTexts(o);
    if (!ini) return;
    QStringList hidden;
    ini->ReadSectionValues(name + QStringLiteral(".Hidden"), hidden);
    for (const QString& line : hidden) {
        const qsizetype eq = line.indexOf('=');
        QObject* o = FindComponent(form, eq < 0 ? line : line.left(eq));
        if (o) o->setProperty(HiddenProperty, true);
        if (auto* w = qobject_cast<QWidget*>(o)) {
            w->setVisible(false);
            w->setToolTip(QString());
        } else if (auto* a = qobject_cast<QAction*>(o)) {
            a->setVisible(false);
            a->setToolTip(QString());
        }
    }
}

bool HiddenByCustomization(const QObject* component) {
    return component && component->property(HiddenProperty).toBool();
}

QString ExpandResString(const QString& text) {
    QString out = Substitute(text);
    out.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return out;
}

QString FormatText(const QString& templ, const QVariantList& args) {
    QString out;
    const qsizetype n = templ.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = templ[i];
        if (c != '%' || i + 1 >= n) {
            out += c;
            ++i;
            continue;
        }
        const QChar next = templ[i + 1];
        if (next == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (next < '1' || next > '9') {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        int index = 0;
        while (j < n && j < i + 3 && templ[j].isDigit() && templ[j].unicode() < 128) {
            index = index * 10 + (templ[j].unicode() - '0');
            ++j;
        }
        QString format = QStringLiteral("s");
        if (j < n && templ[j] == '!') {
            const qsizetype end = templ.indexOf('!', j + 1);
            if (end < 0) return templ;
            format = templ.mid(j + 1, end - j - 1);
            j = end + 1;
        }
        if (index > args.size()) return templ;
        const std::optional<QString> piece = FormatArgument(args[index - 1], format);
        if (!piece) return templ;
        out += *piece;
        i = j;
    }
    return out;
}

std::optional<QByteArray> LoadResourceSpec(const QString& resource) {
    TraceScope trace("LoadResourceSpec");
    QString text = resource;
    const qsizetype blank = text.indexOf(' ');
    if (blank >= 0) text.truncate(blank);
    const QStringList parts = text.split(',');
    QString library, type, name;
    if (parts.size() == 2) {
        library = parts[0];
        name = parts[1];
        type = QStringLiteral("FILE");
    } else if (parts.size() == 3) {
        library = parts[0];
        type = parts[1];
        name = parts[2];
    } else {
        return std::nullopt;
    }
    // Only beside the program: not the working folder either, which could
    // be anywhere.
    const QString path = FileBesideProgram(library, QStringLiteral("Resource library"));
    if (!Platform::FileExists(path)) return std::nullopt;
    // A file of its own: the skin library's current file stays as it is.
    XRes::TXResFile container;
    QString error;
    if (!container.Open(path, &error)) {
        TraceLog::WarningMsg(error);
        return std::nullopt;
    }
    const XRes::TEntry* entry = container.Find(type.toLatin1(), name.toLatin1());
    if (!entry) return std::nullopt;
    return container.Data(*entry);
}

QString FileBesideProgram(const QString& name, const QString& what) {
    if (!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains('/') &&
        !name.contains('\\') && !name.contains(QChar(0)))
        return AppState().AppDir + name;
    TraceLog::WarningMsg(what + QStringLiteral(" \"") + name +
                         QStringLiteral("\" refused: only a file beside the program is taken"));
    return {};
}

void ShutdownCustomization() {
    std::lock_guard<std::recursive_mutex> lock(StateLock);
    TCustomState& s = State();
    s.Substitutions.reset();
    s.Ini.reset();
    s.WorkFolder.reset();  // removes the working copy
    s.AppTitle.reset();
    s.ApplicationTitle.reset();
}
