// Undo steps share picture bytes with the state: their cost follows the number of items, not
// the size of the pictures. Prints the memory growth of 1000 nudges, undos and redos on the
// large benchmark document, then times one undoable step at 10, 100 and 1000 items.
#include "BenchDocument.h"
#include "model/PintoraDocument.h"
#include "model/SelectionEdits.h"

#include <QDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace pintora;

namespace {

void reportMemoryGrowth() {
    const QString dir = QDir::tempPath() + QStringLiteral("/pintora-bench");
    QDir().mkpath(dir);
    PintoraDocument document{QString()};
    document.setState(bench::makeBenchDocument(dir + QStringLiteral("/document-40.pintora"), 40));
    Selection selection{document.state().items[1].id()};
    QUndoStack* stack = document.undoStack();

    const long before = bench::statusBytes("VmRSS");
    for (int i = 0; i < 1000; ++i)
        nudgeSelection(document, stack, selection, 1, 0);
    for (int i = 0; i < 1000; ++i)
        stack->undo();
    for (int i = 0; i < 1000; ++i)
        stack->redo();
    const long after = bench::statusBytes("VmRSS");
    std::printf("1000 nudges, 1000 undos, 1000 redos on a %d-item document: memory grew %.2f MB\n",
                int(document.state().items.size()), (after - before) / 1e6);
}

// A document of `count` items, half of them pictures of 2 MB each (shared bytes).
CanvasState stateWithItems(int count) {
    static const QByteArray picture(2 << 20, 'p');
    CanvasState state;
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            ImageItem image;
            image.frame = QRectF(i, i, 100, 100);
            image.pngData = picture;
            state.items.append(image);
        } else {
            state.items.append(makeShape(ShapeKind::arrow, QRectF(i, 0, 50, 50)));
        }
    }
    return state;
}

void NudgeStep(benchmark::State& s) {
    PintoraDocument document{QString()};
    document.setState(stateWithItems(int(s.range(0))));
    Selection selection{document.state().items[0].id()};
    QUndoStack* stack = document.undoStack();
    for (auto _ : s) {
        nudgeSelection(document, stack, selection, 1, 0);
        if (stack->count() >= 1000) stack->clear();
    }
}

void UndoRedoStep(benchmark::State& s) {
    PintoraDocument document{QString()};
    document.setState(stateWithItems(int(s.range(0))));
    Selection selection{document.state().items[0].id()};
    QUndoStack* stack = document.undoStack();
    nudgeSelection(document, stack, selection, 1, 0);
    for (auto _ : s) {
        stack->undo();
        stack->redo();
    }
}

} // namespace

BENCHMARK(NudgeStep)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(UndoRedoStep)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    reportMemoryGrowth();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
