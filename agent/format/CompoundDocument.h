#pragma once

// A compound document (OLE structured storage) read from memory through
// libgsf: the container of older-generation character files. Only the top
// level is read; those characters keep every stream there.

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _GsfInfile;

namespace agent::format {

// The first eight bytes of every compound document.
bool isCompoundDocument(const QByteArray& bytes);

class CompoundDocument {
  public:
    struct Entry {
        std::string name;
        std::uint64_t size = 0; // bytes; 0 for a storage
        bool storage = false;   // a folder of further streams
    };

    // Throws FormatError naming `source` when libgsf cannot read the container.
    CompoundDocument(const QByteArray& bytes, std::string source);
    ~CompoundDocument();
    CompoundDocument(const CompoundDocument&) = delete;
    CompoundDocument& operator=(const CompoundDocument&) = delete;

    std::vector<Entry> entries() const;
    // The stream's bytes, its name matched case-insensitively as the container
    // does. A stream can be no larger than the container that holds it, so one
    // claiming more is refused before anything is allocated for it. Throws
    // FormatError naming the stream when it is absent, too large or unreadable.
    QByteArray read(const std::string& name) const;

  private:
    struct Unref {
        void operator()(_GsfInfile* p) const;
    };
    QByteArray m_bytes; // libgsf reads these in place
    std::string m_source;
    std::unique_ptr<_GsfInfile, Unref> m_root;
};

} // namespace agent::format
