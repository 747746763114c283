#include "updates/updater.h"

#include <chrono>

#include "core/log.h"
#include "updates/package_check.h"

namespace tarvela {
namespace fs = std::filesystem;
namespace {

// The package's file name in the cache: the last segment of its address, in
// characters safe for any file system, never hidden; else one from the version.
std::string packageFileName(const Release& r) {
    std::string path = r.packageUrl.substr(0, r.packageUrl.find_first_of("?#"));
    const size_t slash = path.find_last_of('/');
    std::string name;
    for (char c : path.substr(slash == std::string::npos ? 0 : slash + 1)) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_';
        name += safe ? c : '_';
    }
    while (!name.empty() && name.front() == '.') name.erase(0, 1);
    if (name.empty() || name.size() > 200) name = "Tarvela-" + r.version.substr(0, 100);
    return name;
}

}  // namespace

Updater::Updater(UpdaterDeps deps) : d_(std::move(deps)) {
    if (auto t = d_.prefs.d.getDouble(updater::lastCheckedKey)) lastChecked_ = *t;
}

Updater::~Updater() {
    life_.end();
    if (timer_) d_.main.cancel(*timer_);
    // A transfer under way gives up at its next progress report; the queue
    // waits for it, and what it posts finds no updater.
    cancel_->store(true);
    queue_.reset();
}

double Updater::wallNow() const {
    if (d_.wallClock) return d_.wallClock();
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

UpdateView Updater::view() const {
    return UpdateView::of(state_, d_.currentVersion, release_ ? release_->notes : std::vector<std::string>{});
}

void Updater::setState(UpdateState s) {
    state_ = std::move(s);
    changed.emit();
}

void Updater::submit(std::function<void()> job) {
    if (!queue_) queue_ = d_.makeQueue ? d_.makeQueue("tarvela.updates") : makeThreadQueue("tarvela.updates");
    queue_->async(std::move(job));
}

void Updater::startSchedule() {
    if (!started_) {
        started_ = true;
        // Changes reach the updater from the main queue, never inside the
        // assignment that made them.
        auto reapply = [this](const bool&) { d_.main.post(life_.guard([this] { applyPrefs(); })); };
        bag_.push_back(d_.prefs.autoCheck.changed.connect(reapply));
        bag_.push_back(d_.prefs.autoInstall.changed.connect(reapply));
    }
    applyPrefs();
}

void Updater::applyPrefs() {
    if (d_.prefs.autoCheck() && !timer_) {
        timer_ = d_.main.every(updater::interval, [this] { check(false); });
        check(false);
    } else if (!d_.prefs.autoCheck()) {
        cancelTimer(d_.main, timer_);
    }
    if (d_.prefs.autoInstall() && state_.kind == UpdateState::Kind::available) startDownload();
}

void Updater::check(bool userInitiated) {
    if (d_.config.feedUrl.empty()) {
        setState(UpdateState::failed(updater::notSetUp));
        return;
    }
    if (checking_) {
        userInitiated_ = userInitiated_ || userInitiated;
        return;
    }
    checking_ = true;
    userInitiated_ = userInitiated;
    setState(UpdateState::checking());
    FetchOptions o;
    o.timeout = d_.config.timeout;
    o.maxBytes = updater::maxFeedBytes;
    o.cancel = cancel_.get();
    // Off the main thread the job touches only its own copies; the flag it
    // reads lives as long as the job holds it.
    submit([url = d_.config.feedUrl, o, cancel = cancel_, main = &d_.main,
            finish = life_.guard([this](const FetchResult& r) { finishCheck(r); })] {
        FetchResult r = fetch(url, o);
        main->post([finish, r = std::move(r)]() mutable { finish(r); });
    });
}

void Updater::finishCheck(const FetchResult& r) {
    checking_ = false;
    const bool user = std::exchange(userInitiated_, false);
    if (!r.ok()) {
        setState(UpdateState::failed(updater::checkFailed + *r.error));
        return;
    }
    const auto items = parseAppcast(r.body);
    if (!items) {
        setState(UpdateState::failed(std::string(updater::checkFailed) + "The update feed can’t be read."));
        return;
    }
    lastChecked_ = wallNow();
    d_.prefs.d.set(updater::lastCheckedKey, *lastChecked_);
    const auto newest = newestRelease(*items);
    if (!newest || compareVersions(newest->version, d_.currentVersion) <= 0) {
        setState(UpdateState::upToDate());
        return;
    }
    if (!release_ || *release_ != *newest) {
        package_.reset();
        installWhenReady_ = false;
    }
    release_ = *newest;
    const std::string v = newest->version;
    setState(UpdateState::available(v));
    if (d_.prefs.autoInstall()) startDownload();
    if (!user && d_.prefs.notifyWhenClosed() && onAvailable && announced_.insert(v).second)
        onAvailable(v, release_->notes);
}

void Updater::startDownload() {
    if (!release_ || release_->packageUrl.empty() || downloading_ || package_) return;
    downloading_ = true;
    const fs::path file = d_.config.cacheDir / packageFileName(*release_);
    const fs::path part = file.string() + ".part";
    FetchOptions o;
    o.timeout = d_.config.packageTimeout;
    o.maxBytes = updater::maxPackageBytes;
    o.cancel = cancel_.get();
    o.toFile = part;
    submit([rel = *release_, file, part, o, key = d_.config.publicKey, cancel = cancel_, main = &d_.main,
            finish = life_.guard([this](const std::string& version, const fs::path& file,
                                        const std::optional<std::string>& error) { finishDownload(version, file, error); })] {
        std::optional<std::string> error;
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            error = "Couldn’t create " + file.parent_path().string() + ": " + ec.message() + ".";
        } else if (FetchResult r = fetch(rel.packageUrl, o); !r.ok()) {
            error = "Couldn’t download the update: " + *r.error;
        } else {
            error = checkPackage(part, rel.packageLength, rel.signature, key);
        }
        // Only a package that passed its checks ever has the name it is opened by.
        if (!error) {
            fs::rename(part, file, ec);
            if (ec) error = "Couldn’t keep the downloaded update: " + ec.message() + ".";
        }
        if (error) fs::remove(part, ec);
        main->post([finish, version = rel.version, file, error]() mutable { finish(version, file, error); });
    });
}

void Updater::finishDownload(const std::string& version, const fs::path& file, const std::optional<std::string>& error) {
    downloading_ = false;
    if (!release_ || release_->version != version) return;  // a later check found another release
    if (error) {
        installWhenReady_ = false;
        log("update " + version + ": " + *error);
        setState(UpdateState::failed(*error));
        return;
    }
    package_ = file;
    log("update " + version + " downloaded and verified: " + file.string());
    // A retry after a failure has mended it: the update is there to install again.
    if (state_.kind == UpdateState::Kind::failed) setState(UpdateState::available(version));
    else changed.emit();
    if (std::exchange(installWhenReady_, false)) install();
}

std::optional<std::string> Updater::installable() const {
    const bool stillThere = state_.kind == UpdateState::Kind::available || state_.kind == UpdateState::Kind::failed;
    if (!release_ || !stillThere) return std::nullopt;
    return release_->version;
}

void Updater::install() {
    if (!installable()) {
        check(true);
        return;
    }
    if (d_.prefs.autoInstall() && !release_->packageUrl.empty()) {
        if (!package_) {
            // Opened once it is downloaded and has passed its checks.
            installWhenReady_ = true;
            startDownload();
            return;
        }
        log("install: opening " + package_->string());
        if (d_.config.open) d_.config.open(package_->string());
        return;
    }
    if (release_->page.empty()) return;
    log("install: opening " + release_->page);
    if (d_.config.open) d_.config.open(release_->page);
}

UpdaterSource::UpdaterSource(Updater& updater, std::function<std::string(double)> when)
    : u_(updater), when_(std::move(when)) {
    link_ = u_.changed.connect([this] { changed.emit(); });
}

UpdateStatus UpdaterSource::status() const {
    UpdateStatus s{u_.state(), u_.currentVersion(), u_.installable(), std::nullopt, {}};
    if (u_.lastChecked()) s.lastChecked = when_(*u_.lastChecked());
    if (s.installable) s.notes = u_.release()->notes;
    return s;
}

}  // namespace tarvela
