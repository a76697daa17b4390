#include "app/FolderScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/ReadAhead.h"

namespace Velmora {

CFolderScanner::CFolderScanner(std::vector<std::string> roots, std::shared_ptr<IScanFileSystem> fileSystem)
    : CThread(std::string()), m_roots(std::move(roots)), m_fileSystem(std::move(fileSystem))
{
}

CFolderScanner::CFolderScanner(FromImport, std::shared_ptr<IScanImport> import,
                               std::shared_ptr<IScanFileSystem> fileSystem)
    : CThread(std::string()), m_import(std::move(import)), m_fileSystem(std::move(fileSystem))
{
}

CFolderData* CFolderScanner::AddImportedDrive(const CString& path)
{
    auto* drive = new CFolderData(path, nullptr);
    {
        std::lock_guard lock(m_lock);
        m_drives.push_back(drive);
        // A refresh lists any mount below an imported drive's path.
        m_driveMounts.push_back(0);
        m_nestedDrives.push_back(false);
    }
    for (IScanListener* listener : m_importListeners)
        listener->OnRootFolder(drive);
    return drive;
}

void CFolderScanner::AnnounceFolder(CFolderData* folder)
{
    for (IScanListener* listener : m_importListeners)
        listener->OnFolder(folder);
}

void CFolderScanner::AnnounceFile(CFileData* file)
{
    for (IScanListener* listener : m_importListeners)
        listener->OnFile(file);
}

void CFolderScanner::MarkUnreadable(CFolderData* folder, std::int32_t error)
{
    folder->MarkUnreadable(error);
    m_unreadable.fetch_add(1, std::memory_order_relaxed);
}

CFolderScanner::~CFolderScanner()
{
    // The walk uses the drives: it must have ended before they go.
    StopAndJoin();
    std::vector<CFolderData*> drives;
    {
        std::lock_guard lock(m_lock);
        drives.swap(m_drives);
    }
    for (CFolderData* drive : drives)
        delete drive;
}

void CFolderScanner::SetExcludePatterns(CExcludePatterns patterns)
{
    std::lock_guard lock(m_lock);
    m_nextExclude = std::move(patterns);
}

void CFolderScanner::SetEnterOtherFileSystems(bool enter)
{
    std::lock_guard lock(m_lock);
    m_nextEnterOthers = enter;
}

void CFolderScanner::AddListener(IScanListener* listener) { m_listeners.Add(listener); }

void CFolderScanner::RemoveListener(IScanListener* listener) { m_listeners.Remove(listener); }

std::vector<CFolderData*> CFolderScanner::GetDrives() const
{
    std::lock_guard lock(m_lock);
    return m_drives;
}

std::vector<IScanListener*> CFolderScanner::Snapshot() const { return m_listeners.Snapshot(); }

bool CFolderScanner::IsNestedRoot(const CFolderData* drive) const
{
    std::lock_guard lock(m_lock);
    for (std::size_t i = 0; i < m_drives.size(); ++i)
        if (m_drives[i] == drive)
            return m_nestedDrives[i];
    return false;
}

namespace {
// The folder a path names, for telling a folder given twice: its device
// and inode where it can be read, else its path made lexically plain.
std::string FolderKey(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    return std::filesystem::path(path).lexically_normal().string();
}

// True when `inner` lies below `outer`, judged by whole path components.
bool IsBelowPath(const std::string& inner, const std::string& outer)
{
    const std::filesystem::path in = std::filesystem::path(inner).lexically_normal();
    const std::filesystem::path out = std::filesystem::path(outer).lexically_normal();
    auto a = in.begin();
    auto b = out.begin();
    for (; b != out.end(); ++a, ++b) {
        if (b->empty() && std::next(b) == out.end())
            break; // a trailing separator ("/a/")
        if (a == in.end() || *a != *b)
            return false;
    }
    return a != in.end() && !a->empty();
}
} // namespace

std::vector<std::pair<std::string, std::uint64_t>> CFolderScanner::GivenRoots(const std::vector<std::string>& paths,
                                                                              IScanFileSystem& fileSystem)
{
    // A folder given again (by the same path, another spelling or another
    // mount of it) is shown once, where it was first given.
    std::vector<std::pair<std::string, std::uint64_t>> roots;
    std::set<std::string> seen;
    for (const std::string& path : paths)
        if (seen.insert(FolderKey(path)).second)
            roots.emplace_back(path, fileSystem.MountOf(path));
    return roots;
}

std::vector<bool> CFolderScanner::NestedRoots(const std::vector<std::pair<std::string, std::uint64_t>>& roots,
                                              bool anyMount)
{
    // A root below another one on the same mount is walked again by that
    // one's walk (which never leaves its mount): it is shown, but its
    // entries are in the other's totals already.
    std::vector<bool> nested(roots.size(), false);
    for (std::size_t i = 0; i < roots.size(); ++i)
        for (std::size_t j = 0; j < roots.size() && !nested[i]; ++j)
            nested[i] = i != j && (anyMount || roots[i].second == roots[j].second) &&
                        IsBelowPath(roots[i].first, roots[j].first);
    return nested;
}

std::uint32_t CFolderScanner::Run()
{
    m_finished = false;
    struct CFinished {
        std::atomic<bool>& flag;
        ~CFinished() { flag = true; }
    } finished{m_finished};
    {
        std::lock_guard lock(m_lock);
        m_exclude = m_nextExclude;
        m_enterOthers = m_nextEnterOthers;
    }
    if (CFolderData* folder = m_refreshTarget.exchange(nullptr)) {
        m_countingWalk = true; // a refresh counts what it finds below its folder
        Refresh(folder);
        m_fileSystem->EndWalk();
        return 0;
    }
    if (m_import) {
        // One snapshot for the whole import, as a walk takes one per folder.
        m_importListeners = Snapshot();
        m_import->Import(*this);
        m_importListeners.clear();
        return 0;
    }
    const std::vector<IScanListener*> listeners = Snapshot();
    std::vector<std::pair<std::string, std::uint64_t>> roots;
    if (m_roots.empty()) {
        for (const MountEntry& mount : SelectDrives(ParseMountTable(m_fileSystem->ReadMountTable())))
            roots.emplace_back(mount.path, m_fileSystem->MountOf(mount.path));
    } else {
        roots = GivenRoots(m_roots, *m_fileSystem);
    }
    const std::vector<bool> nested = NestedRoots(roots, m_enterOthers);
    // Every drive is created and announced before any is walked.
    for (std::size_t i = 0; i < roots.size(); ++i) {
        auto* drive = new CFolderData(CString(roots[i].first), nullptr);
        {
            std::lock_guard lock(m_lock);
            m_drives.push_back(drive);
            m_driveMounts.push_back(roots[i].second);
            m_nestedDrives.push_back(nested[i]);
        }
        m_countingWalk = !nested[i];
        for (IScanListener* listener : listeners)
            listener->OnRootFolder(drive);
    }
    for (std::size_t i = 0; i < roots.size(); ++i) {
        CFolderData* drive = nullptr;
        {
            std::lock_guard lock(m_lock);
            drive = m_drives[i];
        }
        m_countingWalk = !nested[i];
        // Mount 0: a listing on any mount.
        ScanFolder(drive, m_enterOthers ? 0 : roots[i].second, roots[i].first);
    }
    m_countingWalk = true;
    m_fileSystem->EndWalk();
    return 0;
}

void CFolderScanner::ScanFolder(CFolderData* folder)
{
    ScanFolder(folder, 0, folder->GetFullName().ToStdString());
}

bool CFolderScanner::ListAndAnnounce(CFolderData* folder, std::uint64_t mountId, const std::string& path, bool announce)
{
    if (IsStopRequested())
        return false;
    const std::vector<IScanListener*> listeners = announce ? Snapshot() : std::vector<IScanListener*>();
    // Entries are announced as the listing reads them; the listing is closed
    // before the subfolders are walked.
    bool stopped = false;
    const auto stop = [&] {
        stopped = stopped || IsStopRequested();
        return stopped;
    };
    const bool listed = m_fileSystem->ListFolder(path, mountId, stop, [&](const ScanEntry& entry) {
        if (stop())
            return false;
        if (entry.isFolder) {
            auto* child = new CFolderData(CString(entry.name), folder);
            // Marked before it is announced, so its row shows it at once.
            if (!m_exclude.IsEmpty() && m_exclude.Matches(path + (path.ends_with('/') ? "" : "/") + entry.name))
                child->MarkExcluded();
            folder->AddFolder(child);
            for (IScanListener* listener : listeners)
                listener->OnFolder(child);
            return true;
        }
        // A further link of an inode already counted on its drive takes no
        // more room: its blocks count once, as the first link found.
        CFileData** holder = nullptr;
        std::int64_t allocated = entry.allocated;
        if (entry.links > 1) {
            const auto [it, added] = m_linkHolders.try_emplace(InodeKey{entry.device, entry.inode}, nullptr);
            if (added)
                holder = &it->second;
            else
                allocated = 0;
        }
        auto* file = new CFileData(CString(entry.name), folder, entry.size, entry.creationTime, entry.lastAccessTime,
                                   entry.lastWriteTime, allocated);
        if (holder)
            *holder = file;
        folder->AddFile(file);
        for (IScanListener* listener : listeners) {
            if (stop())
                return false;
            listener->OnFile(file);
        }
        return true;
    });
    const int error = m_fileSystem->TakeListError();
    if (!listed && error != IScanFileSystem::kOtherMount) {
        folder->MarkUnreadable(error);
        m_unreadable.fetch_add(1, std::memory_order_relaxed);
    }
    return !stopped;
}

void CFolderScanner::ScanFolder(CFolderData* folder, std::uint64_t mountId, const std::string& rootPath, bool announce)
{
    // Depth first over an explicit stack: each level holds its folder, the
    // subfolders it had once listed, and where its path ends in `path`.
    struct Level {
        CFolderData* folder;
        std::vector<CFolderData*> subfolders;
        std::size_t next;
        std::size_t pathLength;
    };
    std::string path = rootPath;
    std::vector<Level> stack;
    // Helpers read ahead in walk order; a folder's place in it is the index
    // of each subfolder on the way down from the root. Joined on return.
    if (m_exclude.Matches(rootPath))
        folder->MarkExcluded();
    // An excluded root is not opened by the helpers either.
    CReadAhead readAhead(rootPath, folder->IsExcluded() ? 0 : m_fileSystem->ReadAheadThreads());
    CReadAhead::Key key;
    // Listings the helpers read whole stand for the walk's own, from this
    // walk only: the file system lets go of the helpers before they stop.
    struct CListingSourceScope {
        IScanFileSystem& fileSystem;
        CListingSourceScope(IScanFileSystem& fs, IListingSource* source) : fileSystem(fs) { fs.SetListingSource(source); }
        ~CListingSourceScope() { fileSystem.SetListingSource(nullptr); }
    } sourceScope(*m_fileSystem, readAhead.IsActive() ? &readAhead : nullptr);
    const auto enter = [&](CFolderData* entered) {
        if (entered->IsExcluded())
            return; // never opened: no size, no populating mark
        readAhead.Expect(key);
        if (!ListAndAnnounce(entered, mountId, path, announce))
            return; // stopped: this folder's walk ends without its populating marks
        entered->BeginPopulate();
        stack.push_back({entered, entered->GetFolders(), 0, path.size()});
        readAhead.Listed(key, path, stack.back().subfolders);
    };
    enter(folder);
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.subfolders.size()) {
            key.resize(stack.size());
            key.back() = static_cast<std::uint32_t>(top.next);
            CFolderData* subfolder = top.subfolders[top.next++];
            path.resize(top.pathLength);
            if (path.empty() || path.back() != '/')
                path.push_back('/');
            path.append(subfolder->GetName().View());
            enter(subfolder);
            continue;
        }
        top.folder->EndPopulate();
        stack.pop_back();
    }
}

bool CFolderScanner::StartRefresh(CFolderData* folder)
{
    if (!folder || !m_finished.load())
        return false;
    // Only a folder of this scanner's tree.
    const CFolderData* drive = folder;
    while (drive->GetParent())
        drive = drive->GetParent();
    {
        std::lock_guard lock(m_lock);
        if (std::find(m_drives.begin(), m_drives.end(), drive) == m_drives.end())
            return false;
    }
    // The walk before has returned from Run: its thread is joined at once.
    Wait(0xFFFFFFFFu);
    m_finished = false;
    m_refreshTarget = folder;
    Start();
    return true;
}

namespace {
bool IsWithin(const CFolderData* folder, const CFolderData* ancestor)
{
    for (; folder; folder = folder->GetParent())
        if (folder == ancestor)
            return true;
    return false;
}

// Unreadable folders of a subtree, the folder itself included.
std::int64_t CountUnreadable(CFolderData* root)
{
    std::int64_t count = 0;
    std::vector<CFolderData*> stack{root};
    while (!stack.empty()) {
        CFolderData* folder = stack.back();
        stack.pop_back();
        count += folder->IsUnreadable() ? 1 : 0;
        for (CFolderData* child : folder->GetFolders())
            stack.push_back(child);
    }
    return count;
}
} // namespace

void CFolderScanner::ForgetLinksBelow(const CFolderData* folder)
{
    std::erase_if(m_linkHolders, [folder](const auto& link) { return IsWithin(link.second->GetParent(), folder); });
}

void CFolderScanner::Refresh(CFolderData* folder)
{
    std::uint64_t mountId = 0;
    {
        const CFolderData* drive = folder;
        while (drive->GetParent())
            drive = drive->GetParent();
        std::lock_guard lock(m_lock);
        for (std::size_t i = 0; i < m_drives.size(); ++i)
            if (m_drives[i] == drive && !m_enterOthers)
                mountId = m_driveMounts[i];
    }
    folder->BeginPopulate();
    // The inodes the old contents counted may be counted afresh; a walk
    // given up forgets what the fresh one counted again.
    std::vector<std::pair<InodeKey, CFileData*>> forgotten;
    for (const auto& link : m_linkHolders)
        if (IsWithin(link.second->GetParent(), folder))
            forgotten.emplace_back(link);
    ForgetLinksBelow(folder);
    const std::int64_t unreadableBefore = CountUnreadable(folder);
    // Walked apart, unlinked and unannounced: the rows of the old contents
    // stay in view meanwhile.
    CFolderData fresh(folder->GetName(), nullptr);
    const std::int64_t unreadableCount = m_unreadable.load();
    ScanFolder(&fresh, mountId, folder->GetFullName().ToStdString(), false);
    const auto giveUp = [&] {
        ForgetLinksBelow(&fresh);
        for (const auto& link : forgotten)
            m_linkHolders.insert(link);
        m_unreadable.store(unreadableCount);
        folder->EndPopulate();
    };
    if (IsStopRequested()) {
        giveUp();
        return;
    }
    const std::vector<IScanListener*> listeners = Snapshot();
    for (IScanListener* listener : listeners)
        listener->OnFolderEmptying(folder);
    // A refused row removal means the window is closing, after the stop was
    // requested: the old rows may still be there, so nothing is replaced.
    if (IsStopRequested()) {
        giveUp();
        return;
    }
    folder->ReplaceContents(fresh);
    m_unreadable.fetch_sub(unreadableBefore);
    m_refreshes.fetch_add(1);
    // The new contents, parents before children.
    std::vector<CFolderData*> stack{folder};
    while (!stack.empty() && !IsStopRequested()) {
        CFolderData* parent = stack.back();
        stack.pop_back();
        const std::vector<CFolderData*> folders = parent->GetFolders();
        for (CFolderData* child : folders)
            for (IScanListener* listener : listeners)
                listener->OnFolder(child);
        for (CFileData* file : parent->GetFiles())
            for (IScanListener* listener : listeners)
                listener->OnFile(file);
        stack.insert(stack.end(), folders.rbegin(), folders.rend());
    }
    folder->EndPopulate();
}

} // namespace Velmora
