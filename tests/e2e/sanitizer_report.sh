# shellcheck shell=bash
# Sanitizer reports in the program's log (sourced by harness.sh). In the
# sanitized build a report is a failure whatever else the run showed: it is
# never retried away, and it fails a script that would otherwise pass.
#   e2e_sanitizer_report          prints the report's first line and succeeds,
#                                 if the program's log holds one

readonly _E2E_SANITIZER_REPORT='^==[0-9]+==(ERROR: [A-Za-z]+Sanitizer|[A-Za-z]+Sanitizer has encountered)|: runtime error: |^SUMMARY: [A-Za-z]+Sanitizer'

e2e_sanitizer_report() { grep -m1 -E "$_E2E_SANITIZER_REPORT" "$E2E_DIR/app.log" 2>/dev/null; }
