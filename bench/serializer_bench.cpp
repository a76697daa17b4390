// Storing and restoring values and data objects through the serializer.
#include <benchmark/benchmark.h>

#include <vector>

#include "common/DynamicObject.h"
#include "common/Serializer.h"

using namespace Kestrum::Common;

static void StoreAndRestoreValues(benchmark::State& state)
{
    const std::vector<CValue> values = {CValue(std::string("a file name.txt")), CValue(std::int64_t{123456789}),
                                        CValue(std::int32_t{42}), CValue(2.5)};
    for (auto _ : state) {
        CSerializer store(CSerializer::StoreMode);
        for (int i = 0; i < 1000; ++i)
            store.Store(values[static_cast<std::size_t>(i) % values.size()]);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(store.GetSize()));
        store.GetData(bytes.data());
        CSerializer reader(CSerializer::RestoreMode);
        reader.SetData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        CValue value;
        for (int i = 0; i < 1000; ++i)
            reader.Restore(value);
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(StoreAndRestoreValues);

static void DynamicObjectSetValue(benchmark::State& state)
{
    CDynamicObject object(true);
    std::int32_t i = 0;
    for (auto _ : state)
    {
        object.SetLong(i & 15, i);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DynamicObjectSetValue);
