#include "platform/qt/bundle_resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace platform::qt {

namespace {
const QString kReadmeName = QStringLiteral("README.md");
// The README's heading "Sessions and permissions", as Markdown renderers name its anchor.

QString executableDir() {
  if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

// A name or type that could reach outside the directory it is looked up in is refused.
bool isPlainComponent(std::string_view text) {
  if (text.empty() || text == "." || text == "..") return false;
  for (char c : text) {
    if (c == '/' || c == '\0') return false;
  }
  return true;
}

QString fromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Resources that live in a shared place rather than in <prefix>/share/quillmere/: the
// application icon is the icon theme's largest picture.
struct SharedResource {
  std::string_view fileName;
  std::string_view underShare;
};
constexpr SharedResource kSharedResources[] = {
    {"app-icon.png", "icons/hicolor/256x256/apps/quillmere.png"},
};

}  // namespace

std::optional<std::string> findBundledResource(std::string_view name, std::string_view type) {
  if (!isPlainComponent(name) || !isPlainComponent(type)) return std::nullopt;
  const QString fileName = fromView(name) + QLatin1Char('.') + fromView(type);
  QString underShare = QStringLiteral("quillmere/") + fileName;
  for (const SharedResource& shared : kSharedResources) {
    if (fileName == fromView(shared.fileName)) underShare = fromView(shared.underShare);
  }
  const QString exeDir = executableDir();
  const QStringList candidates = {exeDir + QStringLiteral("/../share/") + underShare,
                                  QStringLiteral(QUILLMERE_SHARE_DIR "/") + underShare,
                                  exeDir + QLatin1Char('/') + fileName};
  for (const QString& candidate : candidates) {
    const QFileInfo file(candidate);
    if (file.isFile() && file.isReadable()) {
      return QDir::cleanPath(file.absoluteFilePath()).toStdString();
    }
  }
  return std::nullopt;
}

// The installed README beside the executable's prefix, the one of the configured prefix, the
// source tree's for a run from the build tree; the configured one when none is there.
URL permissionHelpURL(std::string_view anchor) {
  const QString installed = QStringLiteral(QUILLMERE_DOC_DIR "/") + kReadmeName;
  const QStringList candidates = {
      executableDir() + QStringLiteral("/../share/doc/quillmere/") + kReadmeName, installed,
      QStringLiteral(QUILLMERE_SOURCE_README)};
  QString readme = installed;
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) {
      readme = candidate;
      break;
    }
  }
  QUrl url = QUrl::fromLocalFile(QDir::cleanPath(readme));
  url.setFragment(QString::fromUtf8(anchor.data(), qsizetype(anchor.size())));
  return URL::URLWithString(url.toString(QUrl::FullyEncoded).toStdString());
}

bool openURLExternally(const URL& url) {
  // A leading '-' would be read as an option by xdg-open.
  if (url.text.empty() || url.text.front() == '-') return false;
  QProcess opener;
  opener.setProgram(QStringLiteral("xdg-open"));
  opener.setArguments({QString::fromStdString(url.text)});
  // Whatever the opener prints is not ours to show.
  opener.setStandardInputFile(QProcess::nullDevice());
  opener.setStandardOutputFile(QProcess::nullDevice());
  opener.setStandardErrorFile(QProcess::nullDevice());
  return opener.startDetached();
}

}  // namespace platform::qt
