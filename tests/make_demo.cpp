// Writes the demo archive: make-demo samples/demo.brres
#include "base/file_io.h"
#include "support/demo_archive.h"

#include <cstdio>

int main(int argc, char** argv)
{
	if (argc != 2) {
		std::fprintf(stderr, "usage: make-demo OUTPUT\n");
		return 2;
	}
	if (!zentarra::WriteFileAtomically(argv[1], zentarra::testing::DemoArchive())) {
		std::perror(argv[1]);
		return 1;
	}
	return 0;
}
