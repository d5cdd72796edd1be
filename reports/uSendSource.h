#pragma once
// The error-report packet: files packed into ZIP archives in a private folder
// of the temporary folder and handed, as attachments of one e-mail, to the
// user's mail client. Every step reports through GetMultiProgress().

#include <zip.h>

#include <memory>
#include <string>
#include <vector>

// One ZIP archive being filled. Deflate at level 1, no encryption, members
// named by their path relative to the base folder given to AddFile/AddFiles.
class TSendSourceItem {
 public:
  explicit TSendSourceItem(std::string aFileName);
  // An archive whose update was not ended is discarded and its file deleted;
  // a finished archive stays.
  ~TSendSourceItem();
  TSendSourceItem(const TSendSourceItem&) = delete;
  TSendSourceItem& operator=(const TSendSourceItem&) = delete;

  // The outermost BeginUpdate starts the archive anew (a file of that name is
  // deleted first), so callers that add in several calls bracket them with
  // their own BeginUpdate/EndUpdate. The outermost EndUpdate writes the file,
  // readable by its owner only; a failed write leaves no file behind.
  void BeginUpdate();
  void EndUpdate();

  // Adds the named file under its own name.
  void AddFile(const std::string& AFileName);
  // Adds every file named by AFileMask (a shell pattern; case counts) in ADir
  // and in all its subfolders, whatever their attributes; links are not
  // followed. A mask that matches no file is an error: an archive without the
  // file it was meant to carry must not be sent as if all went well.
  void AddFiles(const std::string& ADir, const std::string& AFileMask);

  const std::string& GetFileName() const { return FName; }
  int UpdateCounter() const { return FUpdateCounter; }

 private:
  void AddWithProgress(const std::string& aText, const std::string& ADir,
                       const std::string& AFileMask);
  void AddMatching(const std::string& ADir, const std::string& AFileMask);
  // The archive's progress while it is written: aProgress from 0 to 100.
  void ArchiveFileProgress(const std::string& aFileName, double aProgress, bool& aCancel);
  static void OnZipProgress(zip_t* aZip, double aFraction, void* aSelf);
  static int OnZipCancel(zip_t* aZip, void* aSelf);

  int FUpdateCounter = 0;             // never below 0
  std::string FName;                  // the archive's full path
  zip_t* FArchive = nullptr;          // open from the outermost BeginUpdate to EndUpdate
  std::vector<std::string> FMembers;  // in the order written
};

class TSendSourcePacket {
 public:
  // Takes (and makes safe) the private temporary folder; throws when it cannot.
  TSendSourcePacket();

  // A new item whose archive is the temporary folder, AName, ".zip"; the
  // packet keeps it.
  TSendSourceItem& AddItem(const std::string& AName);
  int GetItemCount() const { return static_cast<int>(FItems.size()); }
  TSendSourceItem& GetItem(int i) const { return *FItems.at(static_cast<std::size_t>(i)); }
  void Clear() { FItems.clear(); }
  const std::string& TempPath() const { return FTempPath; }

 private:
  std::string FTempPath;  // with its trailing delimiter
  std::vector<std::unique_ptr<TSendSourceItem>> FItems;
};

class SourceSender {
 public:
  SourceSender() = delete;

  // The folder in the temporary folder that holds the archives.
  static constexpr const char* PrivateFolderName = "velmora-free";

  static std::unique_ptr<TSendSourcePacket> CreatePacket();
  // Hands the packet's archives to the mail client as one message to email.
  // False for a packet without items (nothing is done); true once the mail
  // client hands back, also when the user discarded the message there. Any
  // failure is passed to ShowError of the progress composite and raised.
  static bool SendPacket(TSendSourcePacket& packet, const std::string& email,
                         const std::string& wSubject, const std::string& wBody);
};
