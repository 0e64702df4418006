//%attributes = {}
// One check of LQM_SelfTest: compares a result with the value its example
// documents and records the outcome in $log (passed: a count; failures: a
// collection of texts). Texts must match exactly (4D's "=" ignores case,
// which would let a damaged Base64 text pass); BLOBs are compared by their
// Base64 form; numbers by value.

#DECLARE($log : Object; $example : Text; $what : Text; $actual : Variant; $expected : Variant)

var $same : Boolean
var $bytes : Blob
var $encoded : Text

If ((Value type($actual)=Is object) | (Value type($actual)=Is BLOB))
	$bytes:=$actual
	BASE64 ENCODE($bytes; $encoded)
	$actual:=$encoded
End if

Case of
	: (Value type($expected)=Is text)
		If (Value type($actual)=Is text)
			$same:=(Length($actual)=Length($expected))
			If ($same & (Length($expected)>0))
				$same:=(Position($expected; $actual; *)=1)
			End if
		End if
	: ((Value type($actual)=Is real) | (Value type($actual)=Is longint) | (Value type($actual)=Is integer))
		$same:=($actual=$expected)
End case

If ($same)
	$log.passed:=$log.passed+1
Else
	$log.failures.push($example+", "+$what+": got "+JSON Stringify($actual)+", expected "+JSON Stringify($expected))
End if
