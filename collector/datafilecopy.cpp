#include "collector/datafilecopy.h"

#include "common/atomicfile.h"

#include <QFile>

#include <memory>

DataFileCopy::~DataFileCopy()
{
    committed();
}

bool DataFileCopy::start(const QString &source, const QString &target)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;

    auto written = std::make_shared<std::promise<bool>>();
    m_written = written->get_future();
    m_committed = std::async(std::launch::async, [target, bytes = m_bytes, written] {
        AtomicFile::Writer writer(target);
        const bool ok = writer.open() && writer.write(bytes);
        written->set_value(ok);
        return ok && writer.commit();
    });
    return true;
}

bool DataFileCopy::written()
{
    return m_written.valid() && m_written.get();
}

bool DataFileCopy::committed()
{
    if (m_written.valid())
        m_written.wait();
    return m_committed.valid() && m_committed.get();
}
