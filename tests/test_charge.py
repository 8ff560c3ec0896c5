"""Charges and their polarity: JSON text, enumeration semantics and argument conversion."""

import math
import pickle

import pytest

import orv_engine as orv
from orv_engine import NEGATIVE, NEUTRAL, POSITIVE, Charge, ChargePolarity


@pytest.mark.parametrize(
    ("magnitude", "polarity", "visual_id", "text"),
    [
        (5, NEGATIVE, "c1", '{"magnitude":5.0,"polarity":"negative","visual_id":"c1"}'),
        (0.1, POSITIVE, "a", '{"magnitude":0.1,"polarity":"positive","visual_id":"a"}'),
        (2.0, NEUTRAL, "b", '{"magnitude":2.0,"polarity":"neutral","visual_id":"b"}'),
        (-3.0, POSITIVE, "n", '{"magnitude":-3.0,"polarity":"positive","visual_id":"n"}'),
        (-0.0, POSITIVE, "z", '{"magnitude":-0.0,"polarity":"positive","visual_id":"z"}'),
        (math.nan, POSITIVE, "x", '{"magnitude":null,"polarity":"positive","visual_id":"x"}'),
        (math.inf, POSITIVE, "x", '{"magnitude":null,"polarity":"positive","visual_id":"x"}'),
        (-math.inf, NEGATIVE, "x", '{"magnitude":null,"polarity":"negative","visual_id":"x"}'),
        (1e15, POSITIVE, "", '{"magnitude":1e+15,"polarity":"positive","visual_id":""}'),
        (1e-05, POSITIVE, "", '{"magnitude":1e-05,"polarity":"positive","visual_id":""}'),
        (123456789012345.0, POSITIVE, "",
         '{"magnitude":123456789012345.0,"polarity":"positive","visual_id":""}'),
        (0.1 + 0.2, POSITIVE, "",
         '{"magnitude":0.30000000000000004,"polarity":"positive","visual_id":""}'),
        (1, POSITIVE, "é☃𝄞", '{"magnitude":1.0,"polarity":"positive","visual_id":"é☃𝄞"}'),
        (1, POSITIVE, 'q"\\\n\x01\x7f',
         '{"magnitude":1.0,"polarity":"positive","visual_id":"q\\"\\\\\\n\\u0001\x7f"}'),
    ],
    ids=["integral", "shortest-0.1", "neutral", "negative-magnitude", "negative-zero", "nan",
         "inf", "minus-inf", "1e15", "1e-05", "fifteen-digits", "sum", "non-ascii", "escapes"],
)
def test_charge_json_text(magnitude, polarity, visual_id, text):
    assert Charge(magnitude, polarity, visual_id).to_json() == text


def test_polarity_values_outside_the_enumeration_are_written_neutral():
    assert Charge(1, ChargePolarity(7), "c").to_json() == (
        '{"magnitude":1.0,"polarity":"neutral","visual_id":"c"}')


class TestPolarityEnumeration:
    def test_members_are_exported_as_the_same_objects(self):
        assert orv.POSITIVE is ChargePolarity.POSITIVE
        assert orv.NEGATIVE is ChargePolarity.NEGATIVE
        assert orv.NEUTRAL is ChargePolarity.NEUTRAL

    @pytest.mark.parametrize(("member", "value"), [(POSITIVE, 0), (NEGATIVE, 1), (NEUTRAL, 2)])
    def test_values_and_texts(self, member, value):
        name = member.name
        assert int(member) == value == member.value
        assert repr(member) == f"<ChargePolarity.{name}: {value}>"
        assert str(member) == f"ChargePolarity.{name}"
        assert ChargePolarity(value) == member
        assert pickle.loads(pickle.dumps(member)) == member

    def test_equality_is_scoped_to_the_enumeration(self):
        assert (NEGATIVE == 1) is False
        assert (NEGATIVE != 1) is True
        assert NEGATIVE != POSITIVE
        with pytest.raises(TypeError):
            _ = NEGATIVE < NEUTRAL

    def test_any_32_bit_value_can_be_constructed(self):
        assert int(ChargePolarity(2**31 - 1)) == 2**31 - 1
        with pytest.raises(TypeError):
            ChargePolarity(2**31)


class TestChargeConversions:
    def test_keywords_and_integer_magnitude(self):
        charge = Charge(visual_id="k", polarity=NEUTRAL, magnitude=2)
        assert charge.magnitude == 2.0 and isinstance(charge.magnitude, float)
        assert charge.polarity == NEUTRAL
        assert charge.visual_id == "k"

    @pytest.mark.parametrize(
        "args",
        [(), (1, 1, "c"), (1, None, "c"), ("1", POSITIVE, "c"), (1, POSITIVE, 5),
         (1, POSITIVE, "c", "extra")],
        ids=["no-args", "int-polarity", "none-polarity", "text-magnitude", "number-id", "four"],
    )
    def test_unconvertible_arguments_raise_type_error(self, args):
        with pytest.raises(TypeError, match="incompatible constructor arguments"):
            Charge(*args)

    def test_unknown_keyword_raises_type_error(self):
        with pytest.raises(TypeError):
            Charge(1, POSITIVE, visual_id="c", colour="red")

    @pytest.mark.parametrize("text", [b"bytes-id", bytearray(b"bytes-id")], ids=type)
    def test_bytes_are_stored_as_text(self, text):
        assert Charge(1, POSITIVE, text).visual_id == "bytes-id"

    def test_numbers_with_float_or_index_are_magnitudes(self):
        class Half:
            def __float__(self):
                return 0.5

        class Three:
            def __index__(self):
                return 3

        assert Charge(Half(), POSITIVE, "h").magnitude == 0.5
        assert Charge(Three(), POSITIVE, "t").magnitude == 3.0

    def test_attributes_write_in_place(self):
        charge = Charge(1, POSITIVE, "c")
        charge.magnitude = 7
        charge.polarity = NEGATIVE
        charge.visual_id = "d"
        assert charge.to_json() == '{"magnitude":7.0,"polarity":"negative","visual_id":"d"}'
        with pytest.raises(TypeError):
            charge.polarity = 1
        with pytest.raises(TypeError):
            charge.magnitude = None
        assert charge.to_json() == '{"magnitude":7.0,"polarity":"negative","visual_id":"d"}'


class TestInvalidUtf8:
    def test_reading_back_raises_unicode_decode_error(self):
        charge = Charge(1, POSITIVE, b"ok\xff")
        with pytest.raises(UnicodeDecodeError):
            _ = charge.visual_id

    @pytest.mark.parametrize(
        ("raw", "message"),
        [
            (b"ok\xff", "invalid UTF-8 byte at index 2: 0xFF"),
            (b"\xc3(", "invalid UTF-8 byte at index 1: 0x28"),
            (b"ab\xe2\x82", "incomplete UTF-8 string; last byte: 0x82"),
        ],
        ids=["bad-start", "bad-continuation", "truncated"],
    )
    def test_json_raises_runtime_error_316(self, raw, message):
        with pytest.raises(RuntimeError) as caught:
            Charge(1, POSITIVE, raw).to_json()
        assert str(caught.value) == f"[json.exception.type_error.316] {message}"
