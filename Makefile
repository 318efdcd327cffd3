# Two entry points for people: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)
# More cmake options, e.g. CMAKE_FLAGS=-DTALLIX_WERROR=ON (CI does). The program's
# libraries are built as unity builds (a few sources compiled as one), which
# saves about a third of a full build; -DCMAKE_UNITY_BUILD=OFF builds each
# source alone.
CMAKE_FLAGS ?=

.PHONY: deps build run test package clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/bin && ./tallix

# Every database test runs twice: on the embedded engine and on a throwaway
# PostgreSQL server that scripts/with-test-server.sh starts and stops.
test: build
	bash scripts/with-test-server.sh sh -c 'cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)'

# A Debian package of the program: $(BUILD)/tallix_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
