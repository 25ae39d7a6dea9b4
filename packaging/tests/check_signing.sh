#!/usr/bin/env bash
# Signing, end to end, with a throwaway certificate made here: missing material and a wrong
# password stop the packaging before it writes anything; with good material every shipped PE
# (the uninstaller inside the installer too) and the MSI verify, and the signed installer still
# installs and registers both DLLs under Wine, which then answer through COM. The test kit carries
# the signed files, the ones it tests.
#   check_signing.sh WINE_STATE WORK DLL DLL_X86 SETTINGS DIAG KIT_PROGRAMS KIT_PROGRAMS_X86 MARK
#                    MARK_X86
set -euo pipefail
state=$1 work=$2 mark=$9 mark_x86=${10}
package_inputs=("${@:3:6}")
here=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarnwick throwaway test signer" \
  -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null
password="throwaway-$RANDOM$RANDOM"
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout "pass:$password"

package() {  # OUT PKCS12 PASSWORD: package.sh signing with that material
  TARNWICK_SIGN_PKCS12=$2 TARNWICK_SIGN_PASSWORD=$3 \
    "$here/package.sh" "$1" 9.9.9 "${package_inputs[@]}" >"$1.log" 2>&1
}
for bad in "missing no-such.p12 $password not a readable file" \
           "wrong-password signer.p12 wrong does not open"; do
  read -r name pkcs12 pass expected <<<"$bad"
  if package "$work/$name" "$work/$pkcs12" "$pass"; then fail "packaging with $name material succeeded"; fi
  grep -q "$expected" "$work/$name.log" || fail "$name: no clear message: $(cat "$work/$name.log")"
  [[ ! -e $work/$name && ! -e $work/$name.partial ]] || fail "$name: left a release behind"
done

release=$work/signed
package "$release" "$work/signer.p12" "$password" || fail "signed packaging failed: $(tail -n 20 "$release.log")"
verify() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 ||
    fail "$1 does not verify: $(tail -n 5 "$work/verify.log")"
  grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" || fail "$1: not SHA-256"
}
unzip -q "$release"/Tarnwick-9.9.9-win64.zip -d "$work/unzipped"
unzip -q "$release"/Tarnwick-9.9.9-windows-tests.zip 'release/*' -d "$work/kit"
for file in "$release"/{Tarnwick.dll,x86/Tarnwick.dll,TarnwickSettings.exe,TarnwickDiag.exe} \
            "$release"/Tarnwick-9.9.9-{setup.exe,x64.msi} \
            "$work"/unzipped/{Tarnwick.dll,x86/Tarnwick.dll} \
            "$work"/kit/release/{Tarnwick.dll,x86/Tarnwick.dll,TarnwickSettings.exe} \
            "$work"/kit/release/{TarnwickDiag.exe,Tarnwick-9.9.9-setup.exe,Tarnwick-9.9.9-x64.msi}; do
  verify "$file"
done
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the signed files"

# Under Wine: the signed installer installs, its uninstaller is signed, and the signed DLLs
# register and answer in both registry views.
"$here/../scripts/wine-prefix.sh" ensure "$state"
source "$state/env"
wine=/usr/lib/wine/wine64
installed="$WINEPREFIX/drive_c/Program Files/Tarnwick"
"$wine" "$(winepath -w "$release/Tarnwick-9.9.9-setup.exe" 2>/dev/null)" /S >/dev/null 2>&1 ||
  fail "the signed installer failed"
verify "$installed/uninstall.exe"
mkdir -p "$WINEPREFIX/drive_c/signed-leaf"
for program in "$mark" "$mark_x86"; do
  answer=$("$here/../scripts/wine-run" "$state" "$program" --com 'C:\signed-leaf' 2>&1 | tr -d '\r')
  [[ $answer == "S_OK	C:\\signed-leaf" ]] || fail "$program: $answer"
done
# The uninstaller copies itself away and returns at once: wait for it to finish.
"$wine" "$installed/uninstall.exe" /S >/dev/null 2>&1 || fail "the signed uninstaller failed"
for _ in $(seq 300); do [[ -e $installed/uninstall.exe ]] || break; sleep 0.1; done
[[ ! -e $installed/uninstall.exe ]] || fail "the signed uninstaller did not finish"
rm -rf "$WINEPREFIX/drive_c/signed-leaf" "$work"
echo "Signed: 14 files verify (6 of them in the test kit), the uninstaller too; both signed DLLs register and answer under Wine."
