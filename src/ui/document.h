// The program's documents as the windowed program holds them: the three
// registered types with their type strings, and the document base class
// that reads, saves and closes a file. The kinds' own documents (query,
// result, schedule) derive from it.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

enum class DocumentKind { Query, Result, Schedule };

// One registered document type. The type string is the "\n"-separated list
// the program was always registered with: window title, document name,
// File New name, filter name, extension, then the names for the desktop.
struct DocumentType {
    DocumentKind kind;
    int resource;                   // selects the type's menu and icon
    std::string_view type_string;   // the parts described above
    std::string_view title_suffix;  // after the document title in the window's title

    // Part index of the type string; empty when it has fewer parts.
    std::string Part(std::size_t index) const;
    std::string FilterName() const { return Part(3); }
    std::string Extension() const { return Part(4); }  // ".qry"
};

// The three types in their registration order: query, result, schedule.
const std::vector<DocumentType>& DocumentTypes();
// The type whose extension ends the path (case ignored); nullptr for none.
const DocumentType* DocumentTypeOfPath(std::string_view path);
const DocumentType& DocumentTypeOf(DocumentKind kind);

// A document's title: its file name without the folder, cut at the first ".".
std::string DocumentTitleOfPath(std::string_view path);

// Files larger than this are not opened: their text would not be shown in
// any useful time, and the program never writes such documents itself.
inline constexpr std::uintmax_t kMaxDocumentBytes = 64u * 1024u * 1024u;

class WindowDocument : public QObject {
    Q_OBJECT
  public:
    explicit WindowDocument(const DocumentType& type, QObject* parent = nullptr);
    ~WindowDocument() override;

    const DocumentType& Type() const { return type_; }
    const std::string& PathName() const { return path_; }
    std::string Title() const { return DocumentTitleOfPath(path_); }
    // The frame's title: the document title and the type's suffix.
    QString WindowTitle() const;
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true);
    // The file's bytes as last read or saved.
    const std::string& Contents() const { return contents_; }

    // Reads the file at path and makes it the document's path. False, with
    // the reason in error, when it cannot be read; the document is unchanged.
    virtual bool OnOpenDocument(const std::string& path, std::string& error);
    // Writes the document to path (which becomes its path) and clears the
    // modified flag. False, with the reason in error, when it cannot be
    // written; the file on disk is then left as it was.
    virtual bool OnSaveDocument(const std::string& path, std::string& error);
    // Called once before the document goes away.
    virtual void OnCloseDocument() {}
    // Tells every view to redraw itself from the document.
    void UpdateAllViews(int hint = 0);

  signals:
    void Updated(int hint);
    void PathChanged();
    void ModifiedChanged(bool modified);

  protected:
    void SetPathName(const std::string& path);
    // The kinds read their own data from the bytes; false refuses the file.
    virtual bool Load(const std::string& bytes, std::string& error);

  private:
    const DocumentType& type_;
    std::string path_;
    std::string contents_;
    bool modified_ = false;
};

}  // namespace korvane
