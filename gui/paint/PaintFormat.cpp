#include "gui/paint/PaintFormat.h"

#include <map>
#include <mutex>

namespace Kestrum::GUI {

namespace {
template <class T> class CFactory {
public:
    bool Add(const std::string& name, std::function<T*()> creator)
    {
        std::lock_guard lock(m_mutex);
        return m_creators.emplace(name, std::move(creator)).second;
    }
    T* Create(const std::string& name)
    {
        std::function<T*()> creator;
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_creators.find(name);
            if (it == m_creators.end())
                return nullptr;
            creator = it->second;
        }
        return creator ? creator() : nullptr;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::function<T*()>> m_creators;
};

template <class T> CFactory<T>& Factory()
{
    static CFactory<T> factory;
    return factory;
}
} // namespace

bool RegisterCellPaintFormat(const std::string& name, std::function<ICellPaintFormat*()> creator)
{
    return Factory<ICellPaintFormat>().Add(name, std::move(creator));
}
bool RegisterColumnPaintFormat(const std::string& name, std::function<IColumnPaintFormat*()> creator)
{
    return Factory<IColumnPaintFormat>().Add(name, std::move(creator));
}
bool RegisterHeaderPaintFormat(const std::string& name, std::function<IHeaderPaintFormat*()> creator)
{
    return Factory<IHeaderPaintFormat>().Add(name, std::move(creator));
}
bool RegisterLinePaintFormat(const std::string& name, std::function<ILinePaintFormat*()> creator)
{
    return Factory<ILinePaintFormat>().Add(name, std::move(creator));
}
ICellPaintFormat* CreateCellPaintFormat(const std::string& name) { return Factory<ICellPaintFormat>().Create(name); }
IColumnPaintFormat* CreateColumnPaintFormat(const std::string& name)
{
    return Factory<IColumnPaintFormat>().Create(name);
}
IHeaderPaintFormat* CreateHeaderPaintFormat(const std::string& name)
{
    return Factory<IHeaderPaintFormat>().Create(name);
}
ILinePaintFormat* CreateLinePaintFormat(const std::string& name) { return Factory<ILinePaintFormat>().Create(name); }

} // namespace Kestrum::GUI
