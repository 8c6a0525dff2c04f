// The benchmarks' entry point: the context line names the build type and
// the compiler, since the figures depend on both.
#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
	benchmark::AddCustomContext("build_type", ZENTARRA_BUILD_TYPE);
	benchmark::AddCustomContext("compiler", ZENTARRA_COMPILER);
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
