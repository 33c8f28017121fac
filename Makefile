# Shortcuts for the scripts in scripts/.
.PHONY: run test check format deps fuzz

run:
	bash scripts/run.sh

test:
	bash scripts/test.sh

# The quick everyday run: the default preset only.
check:
	bash scripts/test.sh linux

format:
	git ls-files -- '*.h' '*.cpp' | xargs clang-format -i

deps:
	bash scripts/install-deps.sh

# Half an hour of each fuzzer (scripts/fuzz.sh takes the seconds per target).
fuzz:
	bash scripts/fuzz.sh 1800
