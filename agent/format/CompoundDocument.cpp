// GLib names a struct member "signals", which Qt defines as a keyword: GLib first.
#include <gsf/gsf.h>

#include "CompoundDocument.h"

#include "FormatError.h"

#include <QString>

#include <cstring>
#include <mutex>

namespace agent::format {

namespace {

constexpr std::uint8_t Signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

struct InputUnref {
    void operator()(GsfInput* p) const { g_object_unref(p); }
};
using InputPtr = std::unique_ptr<GsfInput, InputUnref>;

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};

} // namespace

bool isCompoundDocument(const QByteArray& bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.constData(), Signature, 8) == 0;
}

void CompoundDocument::Unref::operator()(_GsfInfile* p) const {
    g_object_unref(p);
}

CompoundDocument::CompoundDocument(const QByteArray& bytes, std::string source)
    : m_bytes(bytes), m_source(std::move(source)) {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
    InputPtr input(gsf_input_memory_new(reinterpret_cast<const guint8*>(m_bytes.constData()),
                                        gsf_off_t(m_bytes.size()), FALSE));
    if (!input)
        throw FormatError(m_source + ": cannot read the compound document");
    GError* raw = nullptr;
    m_root.reset(gsf_infile_msole_new(input.get(), &raw));
    const std::unique_ptr<GError, ErrorFree> error(raw);
    if (!m_root)
        throw FormatError(m_source + ": not a readable compound document: " +
                          (error && error->message ? error->message : "unknown error"));
}

CompoundDocument::~CompoundDocument() = default;

std::vector<CompoundDocument::Entry> CompoundDocument::entries() const {
    std::vector<Entry> list;
    const int n = gsf_infile_num_children(m_root.get());
    for (int i = 0; i < n; ++i) {
        const InputPtr child(gsf_infile_child_by_index(m_root.get(), i));
        const char* name = gsf_infile_name_by_index(m_root.get(), i);
        if (!child || !name)
            continue;
        Entry e;
        e.name = name;
        e.storage =
            GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        e.size = e.storage ? 0 : std::uint64_t(gsf_input_size(child.get()));
        list.push_back(std::move(e));
    }
    return list;
}

QByteArray CompoundDocument::read(const std::string& name) const {
    const QString wanted = QString::fromStdString(name);
    const int n = gsf_infile_num_children(m_root.get());
    for (int i = 0; i < n; ++i) {
        const char* childName = gsf_infile_name_by_index(m_root.get(), i);
        if (!childName || QString::fromUtf8(childName).compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        const InputPtr child(gsf_infile_child_by_index(m_root.get(), i));
        if (!child ||
            (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0))
            throw FormatError(m_source + ": '" + name + "' in the compound document is not a " +
                              "stream");
        const gsf_off_t size = gsf_input_size(child.get());
        if (size < 0 || size > gsf_off_t(m_bytes.size()))
            throw FormatError(m_source + ": stream '" + name + "' claims " + std::to_string(size) +
                              " bytes, more than the whole file (" +
                              std::to_string(m_bytes.size()) + ")");
        QByteArray data(qsizetype(size), Qt::Uninitialized);
        if (size > 0 && !gsf_input_read(child.get(), size, reinterpret_cast<guint8*>(data.data())))
            throw FormatError(m_source + ": stream '" + name + "' cannot be read (its " +
                              std::to_string(size) + " bytes run outside the file)");
        return data;
    }
    throw FormatError(m_source + ": the compound document has no stream '" + name + "'");
}

} // namespace agent::format
